#include "maintenance/OwnDataBackup.h"

#include "base/Failure.h"
#include "base/FaultPoint.h"
#include "base/FileNames.h"
#include "base/SafeFile.h"
#include "catalogue/ReadingText.h"
#include "db/OwnTables.h"
#include "db/SqliteStatement.h"
#include "maintenance/BackupFormat.h"

#include <QDateTime>
#include <QFile>

namespace hondana {

namespace {

using namespace owndatafile;

bool carriesOwnData(const QString &file) {
    return file == BookFile || file == AuthorFile || file == PublisherFile;
}

QString cannotWriteOwnFile() {
    return QStringLiteral("「%1」を書けません: 読みを読めません").arg(FileName);
}

QString cannotRestore() {
    return QStringLiteral("「%1」の内容を戻せません").arg(FileName);
}

bool isOrigin(const QString &value) {
    return value == owntables::OriginUser || value == owntables::OriginSuggested;
}

// The statements that attach a reading to a restored book or master entry, prepared once.
class ReadingInserts {
public:
    explicit ReadingInserts(sqlite3 *handle)
        : m_handle(handle),
          m_title(handle,
                  QStringLiteral("INSERT INTO %1 (book_rowid, reading, origin) VALUES (?1, ?2, ?3)")
                      .arg(owntables::TitleReadingTable),
                  cannotRestore()),
          m_name(handle,
                 QStringLiteral("INSERT INTO %1 (master_rowid, reading, origin, master) "
                                "VALUES (?1, ?2, ?3, ?4)")
                     .arg(owntables::NameReadingTable),
                 cannotRestore()) {}

    // Attaches one line to the restored row `rowId`; false when the line is not one we can
    // store, or the row has that piece of data already.
    bool store(const Line &line, qint64 rowId) {
        if (line.kind != ReadingKind || line.values.size() != 2 ||
            !readings::isValidReading(line.values[0]) || !isOrigin(line.values[1]))
            return false;
        sqlite::Statement &insert = line.file == BookFile ? m_title : m_name;
        sqlite3_bind_int64(insert.get(), 1, rowId);
        bind(insert, 2, line.values[0]);
        bind(insert, 3, line.values[1]);
        if (line.file != BookFile)
            bind(insert, 4,
                 line.file == AuthorFile ? QStringLiteral("CHOSHA") : QStringLiteral("HAKKOU"));
        const int result = insert.step();
        insert.reset();
        if ((result & 0xff) == SQLITE_CONSTRAINT)
            return false;
        if (sqlite::Statement::failed(result))
            throw Failure(cannotRestore() + QStringLiteral(": ") + sqlite::lastError(m_handle));
        return true;
    }

private:
    static void bind(sqlite::Statement &statement, int index, const QString &value) {
        const QByteArray utf8 = value.toUtf8();
        sqlite3_bind_text(statement.get(), index, utf8.constData(), int(utf8.size()),
                          SQLITE_TRANSIENT);
    }

    sqlite3 *m_handle;
    sqlite::Statement m_title;
    sqlite::Statement m_name;
};

} // namespace

OwnDataBackup::OwnDataBackup(sqlite3 *handle)
    : m_handle(handle), m_present(owntables::present(handle)) {}

OwnDataBackup::~OwnDataBackup() {
    sqlite3_finalize(m_cursor);
}

void OwnDataBackup::beginTable(const backup::Layout &layout) {
    sqlite3_finalize(m_cursor);
    m_cursor = nullptr;
    if (!m_present || !carriesOwnData(layout.fileName))
        return;
    m_file = layout.fileName.toUtf8();
    const QString sql =
        layout.table == QLatin1String("BOOK")
            ? QStringLiteral("SELECT book_rowid, reading, origin FROM %1 ORDER BY book_rowid")
                  .arg(owntables::TitleReadingTable)
            : QStringLiteral("SELECT master_rowid, reading, origin FROM %1 WHERE master = '%2' "
                             "ORDER BY master_rowid")
                  .arg(owntables::NameReadingTable, layout.table);
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(m_handle, utf8.constData(), int(utf8.size()), &m_cursor, nullptr) !=
        SQLITE_OK)
        throw Failure(cannotWriteOwnFile() + QStringLiteral(": ") + sqlite::lastError(m_handle));
    step();
}

void OwnDataBackup::step() {
    m_state = sqlite3_step(m_cursor);
    if (sqlite::Statement::failed(m_state))
        throw Failure(cannotWriteOwnFile() + QStringLiteral(": ") + sqlite::lastError(m_handle));
}

void OwnDataBackup::recordWritten(qint64 rowId, qint64 position, QByteArrayView record) {
    if (!m_cursor)
        return;
    // Rows of ours before this one belong to rows the .DAT file leaves out.
    while (m_state == SQLITE_ROW && sqlite3_column_int64(m_cursor, 0) < rowId)
        step();
    QByteArray digest;
    while (m_state == SQLITE_ROW && sqlite3_column_int64(m_cursor, 0) == rowId) {
        if (digest.isEmpty())
            digest = recordDigest(record);
        const auto column = [&](int i) {
            return QByteArrayView(reinterpret_cast<const char *>(sqlite3_column_text(m_cursor, i)),
                                  sqlite3_column_bytes(m_cursor, i));
        };
        appendLine(m_lines, m_file, position, digest, ReadingKind.toUtf8(), {column(1), column(2)});
        step();
    }
}

void OwnDataBackup::write(const QString &folder) const {
    safefile::ReplacingFileWriter file(files::resolve(FileName, folder));
    const QByteArray header = headerLine();
    file.write(header.constData(), header.size());
    file.write(m_lines.constData(), m_lines.size());
    faultpoint(("backup." + FileName.toLatin1()).constData());
    file.commit();
}

OwnDataRestore::OwnDataRestore(const QString &folder) : m_folder(folder) {
    if (!files::exists(FileName, folder))
        return;
    m_outcome.present = true;
    QFile file(files::resolve(FileName, folder));
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("「%1」を読めません: %2").arg(FileName, file.errorString()));
    if (file.size() > MaxFileSize) {
        m_outcome.problem = QStringLiteral("大きすぎます");
    } else {
        m_contents = parse(file.readAll());
        m_outcome.problem = m_contents.problem;
    }
    for (const Line &line : std::as_const(m_contents.lines))
        m_wanted[line.file].insert(line.position, {});
    m_keptLines = m_contents.unreadable;
}

void OwnDataRestore::recordRestored(const backup::Layout &layout, qint64 position,
                                    const char *record, qint64 rowId) {
    const auto file = m_wanted.find(layout.fileName);
    if (file == m_wanted.end())
        return;
    m_rowIds[layout.fileName].append(rowId);
    const auto match = file->find(position);
    if (match == file->end())
        return;
    match->rowId = rowId;
    match->digest = recordDigest(QByteArrayView(record, layout.recordLength));
}

void OwnDataRestore::attach(sqlite3 *handle) {
    if (!m_outcome.present)
        return;
    owntables::ensure(handle);
    ReadingInserts inserts(handle);
    for (const Line &line : std::as_const(m_contents.lines)) {
        const Match match = m_wanted.value(line.file).value(line.position);
        qint64 rowId = 0;
        if (carriesOwnData(line.file))
            rowId = match.rowId != 0 && match.digest == line.digest
                        ? match.rowId
                        : movedRecord(line.file, line.digest);
        if (rowId > 0 && inserts.store(line, rowId))
            ++m_outcome.attached;
        else
            m_keptLines.append(line.text);
    }
    m_outcome.kept = m_keptLines.size();
    if (!m_outcome.problem.isEmpty() || !m_keptLines.isEmpty())
        m_outcome.keptFile =
            QStringLiteral("HONDANA-unattached-%1.DAT")
                .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
}

qint64 OwnDataRestore::movedRecord(const QString &file, const QByteArray &digest) {
    auto index = m_digests.find(file);
    if (index == m_digests.end()) {
        // Only a set edited since its backup gets here: the file is read once more, whole.
        index = m_digests.insert(file, {});
        const backup::Layout &layout = backup::layout(file);
        backup::RecordReader reader(layout, files::resolve(file, m_folder));
        const QList<qint64> rowIds = m_rowIds.value(file);
        while (const char *record = reader.next()) {
            if (reader.recordNumber() > rowIds.size())
                break;
            const QByteArray key = recordDigest(QByteArrayView(record, layout.recordLength));
            const qint64 rowId = rowIds[reader.recordNumber() - 1];
            index->insert(key, index->contains(key) ? qint64(-1) : rowId);
        }
    }
    return index->value(digest, 0);
}

void OwnDataRestore::writeKept() const {
    if (m_outcome.keptFile.isEmpty())
        return;
    const QString kept = files::resolve(m_outcome.keptFile, m_folder);
    faultpoint("restore.kept");
    if (!m_outcome.problem.isEmpty()) {
        // A file we cannot read at all is kept whole, as it was.
        safefile::copyFile(files::resolve(FileName, m_folder), kept);
        return;
    }
    safefile::ReplacingFileWriter file(kept);
    const QByteArray header = headerLine();
    file.write(header.constData(), header.size());
    for (const QByteArray &line : m_keptLines) {
        file.write(line.constData(), line.size());
        file.write("\n", 1);
    }
    file.commit();
}

} // namespace hondana
