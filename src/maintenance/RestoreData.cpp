#include "maintenance/RestoreData.h"

#include "base/Cp932.h"
#include "base/Failure.h"
#include "base/FaultPoint.h"
#include "base/FileNames.h"
#include "base/SafeFile.h"
#include "db/Connection.h"
#include "db/Schema.h"
#include "db/SqliteStatement.h"
#include "db/TableIndexes.h"
#include "maintenance/BackupFormat.h"
#include "maintenance/CatalogueCheck.h"
#include "maintenance/CatalogueReplacement.h"
#include "maintenance/OwnDataBackup.h"
#include "maintenance/Snapshots.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
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

RestoreSummary::File fillTable(sqlite3 *handle, const backup::Layout &layout, const QString &folder,
                               RecordProgress &progress, OwnDataRestore &ownData) {
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
        ownData.recordRestored(layout, reader.recordNumber(), record,
                               sqlite3_last_insert_rowid(handle));
        insert.reset();
        progress.advance();
    }
    return {layout.fileName, reader.recordNumber(), reader.leftOver()};
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

RestoreSummary fillWorkCopy(const QString &workCopy, const QString &folder,
                            const Progress &progress, OwnDataRestore &ownData) {
    RestoreSummary summary;
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
            // Indexes are built once over all rows, from the template's own definitions.
            const QList<sqlite::IndexDefinition> indexes = sqlite::dropIndexes(
                handle, {"BOOK", "BUNYA", "CHOSHA", "HAKKOU", "SAIZU"}, cannotBuild());
            ownData.begin(handle);
            const auto released = qScopeGuard([&ownData] { ownData.end(); });
            RecordProgress records{progress, recordTotal(folder)};
            for (const backup::Layout &layout : backup::layouts()) {
                summary.files.append(fillTable(handle, layout, folder, records, ownData));
                faultpoint("restore.fill");
            }
            ownData.finish();
            sqlite::ProgressHandler indexing(handle, progress);
            sqlite::createIndexes(handle, indexes);
            for (const CatalogueCheckReport::Problem &problem : missingMasterReferences(handle))
                summary.missingMasters << problem.what;
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
    return summary;
}

// A damaged catalogue is what many restores are for: SQLite cannot copy it, and there is nothing
// in it a snapshot could give back, so the restore goes on without one. Any other failure (a
// full disk, say) stops the restore before anything is replaced.
QString keepSnapshot(const QString &catalogue, const Progress &progress) {
    try {
        return snapshots::take(catalogue, snapshots::BeforeRestore, progress);
    } catch (const Failure &) {
        if (snapshots::quickCheck(catalogue) == QLatin1String("ok"))
            throw;
        return {};
    }
}

} // namespace

bool RestoreSummary::damaged() const {
    if (!missingMasters.isEmpty())
        return true;
    for (const File &file : files) {
        if (file.leftOverBytes > 0)
            return true;
    }
    return false;
}

QString RestoreSummary::text() const {
    QStringList lines;
    for (const File &file : files) {
        QString line = QStringLiteral("%1: %2 件").arg(file.name).arg(file.records);
        if (file.leftOverBytes > 0)
            line += QStringLiteral("、末尾の %1 バイトは1件に満たないため読みませんでした")
                        .arg(file.leftOverBytes);
        lines << line;
    }
    if (ownData.present) {
        if (!ownData.problem.isEmpty())
            lines << QStringLiteral("%1: 読めません（%2）。ファイルはそのまま「%3」に残します")
                         .arg(owndatafile::FileName, ownData.problem, ownData.keptFile);
        else
            lines << QStringLiteral("%1: %2 件").arg(owndatafile::FileName).arg(ownData.attached);
        if (ownData.problem.isEmpty() && ownData.kept > 0)
            lines << QStringLiteral("%1 のうち %2 件は、対応する本やマスターが見つからないか内容が"
                                    "変わっているため戻せません。「%3」に残します")
                         .arg(owndatafile::FileName)
                         .arg(ownData.kept)
                         .arg(ownData.keptFile);
    }
    return (lines + missingMasters).join(u'\n');
}

CatalogueRestore::CatalogueRestore(const QString &folder, bool keepSnapshot)
    : m_folder(folder), m_keepSnapshot(keepSnapshot),
      m_workCopy(files::resolve(files::WorkCopy, folder)) {}

CatalogueRestore::~CatalogueRestore() {
    if (m_madeWorkCopy && !m_replaced)
        QFile::remove(m_workCopy);
}

RestoreSummary CatalogueRestore::read(const Progress &progress) {
    faultpoint("restore.check");
    checkInputs(m_folder);
    m_madeWorkCopy = true;
    makeWorkCopy(m_workCopy, m_folder);
    m_ownData = std::make_unique<OwnDataRestore>(m_folder);
    RestoreSummary summary = fillWorkCopy(m_workCopy, m_folder, progress, *m_ownData);
    summary.ownData = m_ownData->outcome();
    faultpoint("restore.sync");
    safefile::syncFile(m_workCopy);
    return summary;
}

QString CatalogueRestore::replace(const Progress &progress) {
    const QString catalogue = files::resolve(files::Catalogue, m_folder);
    // Only now, with a complete work copy: a restore that cannot start pushes no older snapshot
    // out of the rotation.
    const QString snapshot = m_keepSnapshot ? keepSnapshot(catalogue, progress) : QString();
    if (m_ownData)
        m_ownData->writeKept();
    replaceCatalogue(m_workCopy, catalogue, "restore");
    m_replaced = true;
    return snapshot;
}

QString restoreData(const QString &folder, const RestoreOptions &options) {
    CatalogueRestore restore(folder, options.keepSnapshot);
    restore.read(options.progress);
    return restore.replace(options.progress);
}

} // namespace hondana
