#include "maintenance/RestoreData.h"

#include "db/Connection.h"
#include "db/Failure.h"
#include "db/FileNames.h"
#include "maintenance/BackupFormat.h"
#include "maintenance/FaultPoint.h"
#include "maintenance/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace hondana {

namespace {

// The side files SQLite keeps beside a database; after the replacement those of the old
// catalogue belong to no file and must not be replayed into the new one.
const char *const SideFileSuffixes[] = {"-journal", "-wal", "-shm"};

void checkInputs() {
    QStringList missing;
    for (const backup::Layout &layout : backup::layouts()) {
        if (!files::exists(layout.fileName))
            missing << layout.fileName;
    }
    if (!files::exists(files::RestoreTemplate))
        missing << files::RestoreTemplate;
    if (!missing.isEmpty())
        throw Failure(QStringLiteral("復元に必要なファイルがありません: %1\n"
                                     "何も変更していません。")
                          .arg(missing.join(QStringLiteral("、"))));
}

void makeWorkCopy(const QString &workCopy) {
    safefile::removeFile(workCopy);
    for (const char *suffix : SideFileSuffixes)
        safefile::removeFile(workCopy + QLatin1String(suffix));
    faultpoint("restore.copy");
    QFile source(files::resolve(files::RestoreTemplate));
    if (!source.copy(workCopy))
        throw Failure(QStringLiteral("「%1」を「%2」にコピーできません: %3")
                          .arg(files::RestoreTemplate, files::WorkCopy, source.errorString()));
    QFile::setPermissions(workCopy, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                        QFile::ReadOther);
}

QString insertStatement(const backup::Layout &layout) {
    QStringList quoted;
    QStringList marks;
    for (const QString &column : layout.columns()) {
        quoted << QLatin1Char('"') + column + QLatin1Char('"');
        marks << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(layout.table, quoted.join(u", "), marks.join(u", "));
}

[[noreturn]] void failSql(const QString &what, const QSqlError &error) {
    throw Failure(QStringLiteral("%1: %2").arg(what, describeSqlError(error.text())));
}

void exec(QSqlQuery &query, const QString &statement) {
    if (!query.exec(statement))
        failSql(QStringLiteral("「%1」を作れません").arg(files::WorkCopy), query.lastError());
}

// Dates go in as the catalogue stores them: "YYYY-MM-DD".
QVariant storedForm(const backup::Field &field, const QVariant &value) {
    if (field.kind == backup::FieldKind::Date)
        return value.toDate().toString(Qt::ISODate);
    return value;
}

void fillTable(QSqlDatabase &db, const backup::Layout &layout) {
    backup::RecordReader reader(layout, files::resolve(layout.fileName));
    QSqlQuery insert(db);
    if (!insert.prepare(insertStatement(layout)))
        failSql(QStringLiteral("%1 表に行を追加できません").arg(layout.table), insert.lastError());
    QVariantList values;
    while (const char *record = reader.next()) {
        backup::decodeRecord(layout, record, reader.recordNumber(), values);
        for (qsizetype i = 0; i < values.size(); ++i)
            insert.bindValue(int(i), storedForm(layout.fields[i], values[i]));
        if (!insert.exec())
            failSql(QStringLiteral("「%1」の %2 件目のレコードを %3 表に追加できません")
                        .arg(layout.fileName)
                        .arg(reader.recordNumber())
                        .arg(layout.table),
                    insert.lastError());
    }
}

// A restored catalogue never asks for the agreement again: it holds the acceptance row.
void ensureAcceptance(QSqlQuery &query) {
    exec(query, QStringLiteral("SELECT count(*) FROM DOUI"));
    const bool hasRow = query.next() && query.value(0).toLongLong() > 0;
    query.finish();
    if (!hasRow)
        exec(query, QStringLiteral("INSERT INTO DOUI (ID, 同意日) VALUES (1, date('now', "
                                   "'localtime'))"));
}

void fillWorkCopy(const QString &workCopy) {
    QString name;
    try {
        name = openDatabaseFile(workCopy, QStringLiteral("restore"));
    } catch (const Failure &failure) {
        throw Failure(QStringLiteral("復元用のひな形「%1」が使えません: %2")
                          .arg(files::RestoreTemplate, failure.message()));
    }
    try {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        {
            QSqlQuery query(db);
            // The work copy is thrown away on any failure and flushed before it replaces the
            // catalogue, so it needs no journal file of its own.
            exec(query, QStringLiteral("PRAGMA journal_mode = MEMORY"));
            exec(query, QStringLiteral("PRAGMA synchronous = OFF"));
            if (!db.transaction())
                failSql(QStringLiteral("「%1」を作れません").arg(files::WorkCopy), db.lastError());
            for (const backup::Layout &layout : backup::layouts()) {
                fillTable(db, layout);
                faultpoint("restore.fill");
            }
            ensureAcceptance(query);
        }
        faultpoint("restore.commit");
        if (!db.commit())
            failSql(QStringLiteral("「%1」を作れません").arg(files::WorkCopy), db.lastError());
    } catch (...) {
        QSqlDatabase::database(name, false).rollback();
        closeDatabase(name);
        throw;
    }
    closeDatabase(name);
}

void releaseCatalogue(const QString &catalogue) {
    closeAllConnectionsTo(catalogue);
    if (openConnectionCount(catalogue) != 0)
        throw Failure(
            QStringLiteral("「%1」を使っている接続を閉じられません。").arg(files::Catalogue));
}

void replaceCatalogue(const QString &workCopy, const QString &catalogue) {
    faultpoint("restore.rename");
    safefile::renameReplacing(workCopy, catalogue);
    faultpoint("restore.renamed");
    for (const char *suffix : SideFileSuffixes)
        QFile::remove(catalogue + QLatin1String(suffix));
    safefile::syncFolder(QFileInfo(catalogue).absolutePath());
}

} // namespace

void restoreData() {
    faultpoint("restore.check");
    checkInputs();
    const QString workCopy = files::resolve(files::WorkCopy);
    const QString catalogue = files::resolve(files::Catalogue);
    try {
        makeWorkCopy(workCopy);
        fillWorkCopy(workCopy);
        faultpoint("restore.sync");
        safefile::syncFile(workCopy);
        releaseCatalogue(catalogue);
        replaceCatalogue(workCopy, catalogue);
    } catch (...) {
        QFile::remove(workCopy);
        throw;
    }
}

} // namespace hondana
