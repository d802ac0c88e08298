#include "maintenance/RestoreData.h"

#include "base/Cp932.h"
#include "base/Failure.h"
#include "base/FaultPoint.h"
#include "base/FileNames.h"
#include "base/SafeFile.h"
#include "db/Connection.h"
#include "db/Schema.h"
#include "db/SqliteStatement.h"
#include "maintenance/BackupFormat.h"
#include "maintenance/CatalogueReplacement.h"
#include "maintenance/Snapshots.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>

namespace hondana {

namespace {

void checkInputs(const QString &folder) {
    QStringList missing;
    for (const backup::Layout &layout : backup::layouts()) {
        if (!files::exists(layout.fileName, folder))
            missing << layout.fileName;
    }
    if (!files::exists(files::RestoreTemplate, folder))
        missing << files::RestoreTemplate;
    if (!missing.isEmpty())
        throw Failure(QStringLiteral("復元に必要なファイルがありません: %1\n"
                                     "何も変更していません。")
                          .arg(missing.join(QStringLiteral("、"))));
}

void makeWorkCopy(const QString &workCopy, const QString &folder) {
    safefile::removeFile(workCopy);
    removeSideFiles(workCopy);
    faultpoint("restore.copy");
    safefile::copyFile(files::resolve(files::RestoreTemplate, folder), workCopy);
}

QString insertStatement(const backup::Layout &layout) {
    QStringList quoted;
    QStringList marks;
    for (const QString &column : layout.columns()) {
        quoted << schema::identifier(column);
        marks << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(layout.table, quoted.join(u", "), marks.join(u", "));
}

QString cannotBuild() {
    return QStringLiteral("「%1」を作れません").arg(files::WorkCopy);
}

// Binds one field of a record to parameter `index` (1-based) of `insert`.
void bindField(sqlite3_stmt *insert, int index, const backup::Layout &layout,
               const backup::Field &field, const char *record, qint64 recordNumber,
               QByteArray &text) {
    const char *in = record + field.offset;
    switch (field.kind) {
    case backup::FieldKind::Integer:
        sqlite3_bind_int(insert, index, backup::readInteger(in));
        break;
    case backup::FieldKind::Date: {
        char iso[10];
        backup::formatIsoDate(backup::readDate(layout, field, record, recordNumber), iso);
        sqlite3_bind_text(insert, index, iso, sizeof iso, SQLITE_TRANSIENT);
        break;
    }
    case backup::FieldKind::Text:
    case backup::FieldKind::Stamp:
        // Trailing blanks are part of the value.
        cp932::decodeToUtf8(in, field.width, text);
        sqlite3_bind_text(insert, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        break;
    }
}

// Counts the records read so far against the records of all five files.
struct RecordProgress {
    const Progress &progress;
    qint64 total = 0;
    qint64 done = 0;

    void advance() {
        if ((++done & 1023) == 0)
            progress.report(done, total);
    }
};

qint64 recordTotal(const QString &folder) {
    qint64 total = 0;
    for (const backup::Layout &layout : backup::layouts())
        total += QFileInfo(files::resolve(layout.fileName, folder)).size() / layout.recordLength;
    return total;
}

void fillTable(sqlite3 *handle, const backup::Layout &layout, const QString &folder,
               RecordProgress &progress) {
    backup::RecordReader reader(layout, files::resolve(layout.fileName, folder));
    sqlite::Statement insert(handle, insertStatement(layout),
                             QStringLiteral("%1 表に行を追加できません").arg(layout.table));
    QByteArray text;
    while (const char *record = reader.next()) {
        for (int i = 0; i < int(layout.fields.size()); ++i)
            bindField(insert.get(), i + 1, layout, layout.fields[i], record, reader.recordNumber(),
                      text);
        const int result = insert.step();
        if (sqlite::Statement::failed(result))
            throw Failure(QStringLiteral("「%1」の %2 件目のレコードを %3 表に追加できません: %4")
                              .arg(layout.fileName)
                              .arg(reader.recordNumber())
                              .arg(layout.table, sqlite::lastError(handle)));
        insert.reset();
        progress.advance();
    }
}

// A restored catalogue never asks for the agreement again: it holds the acceptance row.
void ensureAcceptance(sqlite3 *handle) {
    bool hasRow = false;
    {
        sqlite::Statement count(handle, QStringLiteral("SELECT count(*) FROM DOUI"), cannotBuild());
        hasRow = count.step() == SQLITE_ROW && sqlite3_column_int64(count.get(), 0) > 0;
    }
    if (!hasRow)
        sqlite::execute(handle,
                        "INSERT INTO DOUI (ID, 同意日) VALUES (1, date('now', 'localtime'))",
                        cannotBuild());
}

struct Index {
    QString name;
    QString table;
    QByteArray definition;
};

// The template's indexes on the five tables. Building an index once over all rows is much
// faster than keeping it up to date row by row, so they are dropped while the rows go in and
// made again, from the template's own definitions, before the commit.
QList<Index> dropIndexes(sqlite3 *handle) {
    QList<Index> indexes;
    {
        sqlite::Statement query(
            handle,
            QStringLiteral("SELECT name, tbl_name, sql FROM sqlite_schema WHERE type = 'index' "
                           "AND sql IS NOT NULL AND tbl_name IN "
                           "('BOOK', 'BUNYA', 'CHOSHA', 'HAKKOU', 'SAIZU')"),
            cannotBuild());
        while (query.step() == SQLITE_ROW) {
            auto text = [&](int column) {
                return QByteArray(
                    reinterpret_cast<const char *>(sqlite3_column_text(query.get(), column)));
            };
            indexes.append({QString::fromUtf8(text(0)), QString::fromUtf8(text(1)), text(2)});
        }
    }
    for (const Index &index : indexes) {
        const QByteArray drop = "DROP INDEX \"" + index.name.toUtf8() + "\"";
        sqlite::execute(handle, drop.constData(), cannotBuild());
    }
    return indexes;
}

void rebuildIndexes(sqlite3 *handle, const QList<Index> &indexes) {
    for (const Index &index : indexes)
        sqlite::execute(
            handle, index.definition.constData(),
            QStringLiteral("%1 表の索引「%2」を作れません").arg(index.table, index.name));
}

void fillWorkCopy(const QString &workCopy, const QString &folder, const Progress &progress) {
    QString name;
    try {
        name = openDatabaseFile(workCopy, QStringLiteral("restore"));
    } catch (const Failure &failure) {
        throw Failure(QStringLiteral("復元用のひな形「%1」が使えません: %2")
                          .arg(files::RestoreTemplate, failure.message()));
    }
    try {
        sqlite3 *handle = sqlite::handleOf(QSqlDatabase::database(name, false));
        // The work copy is thrown away on any failure and flushed before it replaces the
        // catalogue, so it needs no journal file of its own.
        sqlite::execute(handle, "PRAGMA journal_mode = MEMORY; PRAGMA synchronous = OFF; BEGIN",
                        cannotBuild());
        try {
            const QList<Index> indexes = dropIndexes(handle);
            RecordProgress records{progress, recordTotal(folder)};
            for (const backup::Layout &layout : backup::layouts()) {
                fillTable(handle, layout, folder, records);
                faultpoint("restore.fill");
            }
            sqlite::ProgressHandler indexing(handle, progress);
            rebuildIndexes(handle, indexes);
            ensureAcceptance(handle);
            faultpoint("restore.commit");
            sqlite::execute(handle, "COMMIT", cannotBuild());
        } catch (...) {
            sqlite3_exec(handle, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    } catch (...) {
        closeDatabase(name);
        throw;
    }
    closeDatabase(name);
}

// A damaged catalogue is what many restores are for: SQLite cannot copy it, and there is nothing
// in it a snapshot could give back, so the restore goes on without one. Any other failure (a
// full disk, say) stops the restore before anything is replaced.
QString keepSnapshot(const QString &catalogue, const RestoreOptions &options) {
    try {
        return snapshots::take(catalogue, snapshots::BeforeRestore, options.progress);
    } catch (const Failure &) {
        if (snapshots::quickCheck(catalogue) == QLatin1String("ok"))
            throw;
        return {};
    }
}

} // namespace

QString restoreData(const QString &folder, const RestoreOptions &options) {
    faultpoint("restore.check");
    checkInputs(folder);
    const QString workCopy = files::resolve(files::WorkCopy, folder);
    const QString catalogue = files::resolve(files::Catalogue, folder);
    try {
        makeWorkCopy(workCopy, folder);
        fillWorkCopy(workCopy, folder, options.progress);
        faultpoint("restore.sync");
        safefile::syncFile(workCopy);
        // Only now, with a complete work copy: a restore that cannot start pushes no older
        // snapshot out of the rotation.
        const QString snapshot =
            options.keepSnapshot ? keepSnapshot(catalogue, options) : QString();
        replaceCatalogue(workCopy, catalogue, "restore");
        return snapshot;
    } catch (...) {
        QFile::remove(workCopy);
        throw;
    }
}

} // namespace hondana
