#include "maintenance/BackupData.h"

#include "base/Failure.h"
#include "base/FaultPoint.h"
#include "base/FileNames.h"
#include "base/SafeFile.h"
#include "db/Connection.h"
#include "db/Schema.h"
#include "db/SqliteStatement.h"
#include "maintenance/BackupFormat.h"
#include "maintenance/OwnDataBackup.h"

#include <QDir>
#include <QVarLengthArray>

namespace hondana {

namespace {

QString selectStatement(const backup::Layout &layout) {
    QStringList quoted;
    for (const QString &column : layout.columns())
        quoted << schema::identifier(column);
    // The table's own order; rowid says so even if an index could cover the columns. The rowid
    // comes last, after the fields, for the data of ours that belongs to the row.
    return QStringLiteral("SELECT %1, rowid FROM %2 ORDER BY rowid")
        .arg(quoted.join(u", "), layout.table);
}

backup::FieldValue columnValue(sqlite3_stmt *statement, int column) {
    backup::FieldValue value;
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
        value.type = backup::FieldValue::Integer;
        value.integer = sqlite3_column_int64(statement, column);
        break;
    case SQLITE_FLOAT:
        value.type = backup::FieldValue::Real;
        value.real = sqlite3_column_double(statement, column);
        break;
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
        value.type = backup::FieldValue::Text;
        value.text = QByteArrayView(text, sqlite3_column_bytes(statement, column));
        break;
    }
    default:
        break;
    }
    return value;
}

void writeTable(sqlite3 *handle, const backup::Layout &layout, const QString &folder,
                const Progress &progress, qint64 &rowsSoFar, OwnDataBackup &ownData) {
    const QByteArray step = "backup." + layout.fileName.toLatin1();
    const QString cannotRead =
        QStringLiteral("「%1」を書けません: %2 表を読めません").arg(layout.fileName, layout.table);
    safefile::ReplacingFileWriter file(files::resolve(layout.fileName, folder));
    sqlite::Statement query(handle, selectStatement(layout), cannotRead);
    const int fieldCount = int(layout.fields.size());
    QVarLengthArray<backup::FieldValue, 32> values(fieldCount);
    QByteArray record(layout.recordLength, '\0');
    ownData.beginTable(layout);
    qint64 row = 0;
    qint64 written = 0;
    int result;
    while ((result = query.step()) == SQLITE_ROW) {
        ++row;
        for (int i = 0; i < fieldCount; ++i)
            values[i] = columnValue(query.get(), i);
        if (backup::encodeRecord(layout, values.constData(), record.data(), row)) {
            file.write(record.constData(), record.size());
            ownData.recordWritten(sqlite3_column_int64(query.get(), fieldCount), ++written, record);
        }
        if ((++rowsSoFar & 1023) == 0)
            progress.report(rowsSoFar, 0);
    }
    if (sqlite::Statement::failed(result))
        throw Failure(cannotRead + QStringLiteral(": ") + sqlite::lastError(handle));
    faultpoint(step.constData());
    file.commit();
}

} // namespace

void backupData(const QString &connectionString, const QString &folder, const Progress &progress) {
    Connection connection(connectionString, folder);
    connection.open();
    sqlite3 *handle = sqlite::handleOf(connection.database());
    // One read transaction: the five files show the catalogue at one moment.
    const QString cannotRead = QStringLiteral("「%1」を読めません").arg(files::Catalogue);
    sqlite::execute(handle, "BEGIN", cannotRead);
    try {
        qint64 rows = 0;
        OwnDataBackup ownData(handle, folder);
        for (const backup::Layout &layout : backup::layouts())
            writeTable(handle, layout, folder, progress, rows, ownData);
        ownData.commit();
    } catch (...) {
        sqlite3_exec(handle, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    sqlite3_exec(handle, "ROLLBACK", nullptr, nullptr, nullptr);
    safefile::syncFolder(folder.isEmpty() ? QDir::currentPath() : folder);
}

} // namespace hondana
