#include "maintenance/BackupData.h"

#include "app/AppState.h"
#include "db/Connection.h"
#include "db/Failure.h"
#include "db/FileNames.h"
#include "maintenance/BackupFormat.h"
#include "maintenance/FaultPoint.h"
#include "maintenance/SafeFile.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QVarLengthArray>

namespace hondana {

namespace {

QString selectStatement(const backup::Layout &layout) {
    QStringList quoted;
    for (const QString &column : layout.columns())
        quoted << QLatin1Char('"') + column + QLatin1Char('"');
    // The table's own order; rowid says so even if an index could cover the columns.
    return QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(quoted.join(u", "), layout.table);
}

void writeTable(const QSqlDatabase &db, const backup::Layout &layout) {
    const QByteArray step = "backup." + layout.fileName.toLatin1();
    safefile::ReplacingFileWriter file(files::resolve(layout.fileName));
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(selectStatement(layout)))
        throw Failure(
            QStringLiteral("「%1」を書けません: %2 表を読めません: %3")
                .arg(layout.fileName, layout.table, describeSqlError(query.lastError().text())));
    const qsizetype fieldCount = layout.fields.size();
    QVarLengthArray<QVariant, 32> values(fieldCount);
    QByteArray record(layout.recordLength, '\0');
    qint64 row = 0;
    while (query.next()) {
        ++row;
        for (qsizetype i = 0; i < fieldCount; ++i)
            values[i] = query.value(int(i));
        if (backup::encodeRecord(layout, values.constData(), record.data(), row))
            file.write(record.constData(), record.size());
    }
    if (query.lastError().isValid())
        throw Failure(
            QStringLiteral("「%1」を書けません: %2 表を読めません: %3")
                .arg(layout.fileName, layout.table, describeSqlError(query.lastError().text())));
    query.finish();
    faultpoint(step.constData());
    file.commit();
}

} // namespace

void backupData() {
    Connection connection(AppState::instance().mainConnectionString);
    connection.open();
    QSqlDatabase db = connection.database();
    // One read transaction: the five files show the catalogue at one moment.
    db.transaction();
    for (const backup::Layout &layout : backup::layouts())
        writeTable(db, layout);
    db.rollback();
    safefile::syncFolder(QDir::currentPath());
}

} // namespace hondana
