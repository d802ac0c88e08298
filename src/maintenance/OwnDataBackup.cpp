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

QString text(sqlite3_stmt *statement, int column) {
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, column)),
                             sqlite3_column_bytes(statement, column));
}

bool carriesOwnData(const QString &file) {
    return file == BookFile || file == AuthorFile || file == PublisherFile;
}

QString cannotRestore() {
    return QStringLiteral("「%1」の内容を戻せません").arg(FileName);
}

bool isOrigin(const QString &value) {
    return value == owntables::OriginUser || value == owntables::OriginSuggested;
}

// Attaches one line to the restored row `rowId`; false when the line is not one we can store.
bool store(sqlite3 *handle, const Line &line, qint64 rowId) {
    if (line.kind != ReadingKind || line.values.size() != 2 ||
        !readings::isValidReading(line.values[0]) || !isOrigin(line.values[1]))
        return false;
    const bool title = line.file == BookFile;
    const QString master =
        line.file == AuthorFile ? QStringLiteral("CHOSHA") : QStringLiteral("HAKKOU");
    const QString sql =
        title ? QStringLiteral("INSERT INTO %1 (book_rowid, reading, origin) VALUES (?1, ?2, ?3)")
                    .arg(owntables::TitleReadingTable)
              : QStringLiteral("INSERT INTO %1 (master, master_rowid, reading, origin) "
                               "VALUES ('%2', ?1, ?2, ?3)")
                    .arg(owntables::NameReadingTable, master);
    sqlite::Statement insert(handle, sql, cannotRestore());
    sqlite3_bind_int64(insert.get(), 1, rowId);
    for (int i = 0; i < 2; ++i) {
        const QByteArray value = line.values[i].toUtf8();
        sqlite3_bind_text(insert.get(), i + 2, value.constData(), int(value.size()),
                          SQLITE_TRANSIENT);
    }
    const int result = insert.step();
    if (result == SQLITE_CONSTRAINT || (result & 0xff) == SQLITE_CONSTRAINT)
        return false; // a second reading for the same row
    if (sqlite::Statement::failed(result))
        throw Failure(cannotRestore() + QStringLiteral(": ") + sqlite::lastError(handle));
    return true;
}

} // namespace

OwnDataBackup::OwnDataBackup(sqlite3 *handle) {
    if (!owntables::present(handle))
        return;
    const QString cannotRead = QStringLiteral("「%1」を書けません: 読みを読めません").arg(FileName);
    sqlite::Statement titles(
        handle,
        QStringLiteral("SELECT 'BOOK', book_rowid, reading, origin FROM %1 UNION ALL "
                       "SELECT master, master_rowid, reading, origin FROM %2")
            .arg(owntables::TitleReadingTable, owntables::NameReadingTable),
        cannotRead);
    int result;
    while ((result = titles.step()) == SQLITE_ROW)
        m_data[text(titles.get(), 0)][sqlite3_column_int64(titles.get(), 1)].append(
            {ReadingKind, text(titles.get(), 2), text(titles.get(), 3)});
    if (sqlite::Statement::failed(result))
        throw Failure(cannotRead + QStringLiteral(": ") + sqlite::lastError(handle));
}

void OwnDataBackup::recordWritten(const backup::Layout &layout, qint64 rowId, qint64 position,
                                  QByteArrayView record) {
    const auto table = m_data.constFind(layout.table);
    if (table == m_data.constEnd())
        return;
    const auto pieces = table->constFind(rowId);
    if (pieces == table->constEnd())
        return;
    const QByteArray digest = recordDigest(record);
    for (const QStringList &piece : *pieces)
        m_lines += formatLine(layout.fileName, position, digest, piece.first(), piece.mid(1));
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
    for (const Line &line : std::as_const(m_contents.lines)) {
        const Match match = m_wanted.value(line.file).value(line.position);
        qint64 rowId = 0;
        if (carriesOwnData(line.file))
            rowId = match.rowId != 0 && match.digest == line.digest
                        ? match.rowId
                        : movedRecord(line.file, line.digest);
        if (rowId > 0 && store(handle, line, rowId))
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
