#include "maintenance/OwnDataBackup.h"

#include "base/Failure.h"
#include "base/FaultPoint.h"
#include "base/FileNames.h"
#include "base/SafeFile.h"
#include "catalogue/Isbn.h"
#include "catalogue/ReadingText.h"
#include "db/OwnTables.h"
#include "db/SqliteStatement.h"
#include "maintenance/BackupFormat.h"

#include <QDateTime>
#include <QFile>

namespace hondana {

namespace {

using namespace owndatafile;

QString cannotWriteOwnFile() {
    return QStringLiteral("「%1」を書けません: 読み・ISBN・貸出・欲しい本を読めません")
        .arg(FileName);
}

QString cannotRestore() {
    return QStringLiteral("「%1」の内容を戻せません").arg(FileName);
}

int ownFileIndex(QByteArrayView name) {
    for (int i = 0; i < int(std::size(CarryingFiles)); ++i) {
        if (name == QByteArrayView(CarryingFiles[i].data(), CarryingFiles[i].size()))
            return i;
    }
    return -1;
}

int ownFileIndex(const QString &name) {
    for (int i = 0; i < int(std::size(CarryingFiles)); ++i) {
        if (name == CarryingFiles[i])
            return i;
    }
    return -1;
}

const QByteArray ReadingKindUtf8 = ReadingKind.toUtf8();
const QByteArray IsbnKindUtf8 = IsbnKind.toUtf8();
const QByteArray WishKindUtf8 = WishKind.toUtf8();
const QByteArray LoanKindUtf8 = LoanKind.toUtf8();

} // namespace

OwnDataBackup::OwnDataBackup(sqlite3 *handle, const QString &folder)
    : m_handle(handle), m_present(owntables::present(handle)), m_folder(folder) {}

OwnDataBackup::~OwnDataBackup() {
    sqlite3_finalize(m_cursor);
}

// Opened with the first table rather than at once, so that a folder the backup cannot write
// is named by the first .DAT file, as before there was a file of ours.
void OwnDataBackup::startFile() {
    if (m_writer)
        return;
    m_writer = std::make_unique<safefile::ReplacingFileWriter>(files::resolve(FileName, m_folder));
    const QByteArray header = headerLine();
    m_writer->write(header.constData(), header.size());
}

void OwnDataBackup::beginTable(const backup::Layout &layout) {
    startFile();
    sqlite3_finalize(m_cursor);
    m_cursor = nullptr;
    if (!m_present || ownFileIndex(layout.fileName) < 0)
        return;
    m_file = layout.fileName.toUtf8();
    // A book's lines of every kind come together, in rowid order, each with its values up to the
    // first NULL; a catalogue whose tables of ours predate ISBNs or loans has none to write.
    QString more;
    if (owntables::hasTable(m_handle, owntables::BookIsbnTable))
        more += QStringLiteral(" UNION ALL SELECT book_rowid, '%1', isbn, NULL, NULL, NULL FROM %2")
                    .arg(IsbnKind, owntables::BookIsbnTable);
    if (owntables::hasTable(m_handle, owntables::LoanTable))
        more += QStringLiteral(" UNION ALL SELECT book_rowid, '%1', borrower, lent_on, "
                               "ifnull(due_on, ''), ifnull(returned_on, '') FROM %2")
                    .arg(LoanKind, owntables::LoanTable);
    const QString sql =
        layout.table == QLatin1String("BOOK")
            ? QStringLiteral("SELECT book_rowid, '%1', reading, origin, NULL, NULL FROM %2%3 "
                             "ORDER BY 1")
                  .arg(ReadingKind, owntables::TitleReadingTable, more)
            : QStringLiteral("SELECT master_rowid, '%1', reading, origin, NULL, NULL FROM %2 "
                             "WHERE master = '%3' ORDER BY master_rowid")
                  .arg(ReadingKind, owntables::NameReadingTable, layout.table);
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
        m_line.resize(0);
        if (sqlite3_column_type(m_cursor, 3) == SQLITE_NULL)
            appendLine(m_line, m_file, position, digest, column(1), {column(2)});
        else if (sqlite3_column_type(m_cursor, 4) == SQLITE_NULL)
            appendLine(m_line, m_file, position, digest, column(1), {column(2), column(3)});
        else
            appendLine(m_line, m_file, position, digest, column(1),
                       {column(2), column(3), column(4), column(5)});
        m_writer->write(m_line.constData(), m_line.size());
        step();
    }
}

void OwnDataBackup::writeLinesOfNoRecord() {
    if (!m_present || !owntables::hasTable(m_handle, owntables::WishTable))
        return;
    // In the order they were added, so a restored list numbers them alike.
    sqlite::Statement query(m_handle,
                            QStringLiteral("SELECT priority, added_on, title, ifnull(author, ''), "
                                           "ifnull(isbn, ''), ifnull(note, '') FROM %1 ORDER BY id")
                                .arg(owntables::WishTable),
                            cannotWriteOwnFile());
    const QByteArray noRecord(NoRecordFile.data(), NoRecordFile.size());
    const QByteArray wishKind = WishKind.toUtf8();
    int result;
    while ((result = query.step()) == SQLITE_ROW) {
        const auto column = [&](int i) {
            return QByteArrayView(
                reinterpret_cast<const char *>(sqlite3_column_text(query.get(), i)),
                sqlite3_column_bytes(query.get(), i));
        };
        m_line.resize(0);
        appendLine(m_line, noRecord, 0, {}, wishKind,
                   {column(0), column(1), column(2), column(3), column(4), column(5)});
        m_writer->write(m_line.constData(), m_line.size());
    }
    if (sqlite::Statement::failed(result))
        throw Failure(cannotWriteOwnFile() + QStringLiteral(": ") + sqlite::lastError(m_handle));
}

void OwnDataBackup::commit() {
    startFile();
    writeLinesOfNoRecord();
    faultpoint(("backup." + FileName.toLatin1()).constData());
    m_writer->commit();
}

// The statements that attach a reading to a restored book or master entry, prepared once.
class OwnDataRestore::Inserts {
public:
    explicit Inserts(sqlite3 *handle)
        : m_handle(handle),
          m_title(handle,
                  QStringLiteral("INSERT INTO %1 (book_rowid, reading, origin) VALUES (?1, ?2, ?3)")
                      .arg(owntables::TitleReadingTable),
                  cannotRestore()),
          m_name(handle,
                 QStringLiteral("INSERT INTO %1 (master_rowid, reading, origin, master) "
                                "VALUES (?1, ?2, ?3, ?4)")
                     .arg(owntables::NameReadingTable),
                 cannotRestore()),
          m_isbn(handle,
                 QStringLiteral("INSERT INTO %1 (book_rowid, isbn) VALUES (?1, ?2)")
                     .arg(owntables::BookIsbnTable),
                 cannotRestore()),
          m_wish(handle,
                 QStringLiteral("INSERT INTO %1 (priority, added_on, title, author, isbn, note) "
                                "VALUES (?1, ?2, ?3, nullif(?4, ''), nullif(?5, ''), "
                                "nullif(?6, ''))")
                     .arg(owntables::WishTable),
                 cannotRestore()),
          m_loan(handle,
                 QStringLiteral("INSERT INTO %1 (book_rowid, borrower, lent_on, due_on, "
                                "returned_on) VALUES (?1, ?2, ?3, nullif(?4, ''), nullif(?5, ''))")
                     .arg(owntables::LoanTable),
                 cannotRestore()) {}

    // Stores a line that belongs to no record; false when it is not one we can store.
    bool storeUnowned(const LineFields &fields) {
        if (fields.kind != WishKindUtf8 || !decodeValues(fields.values, m_values))
            return false;
        QStringList texts;
        for (const QByteArray &value : std::as_const(m_values))
            texts << QString::fromUtf8(value);
        const std::optional<Wish> wish = wishFromValues(texts);
        if (!wish)
            return false;
        const QStringList values = wishValues(*wish);
        QList<QByteArray> utf8;
        for (const QString &value : values)
            utf8 << value.toUtf8();
        for (int i = 0; i < utf8.size(); ++i)
            sqlite3_bind_text(m_wish.get(), i + 1, utf8[i].constData(), int(utf8[i].size()),
                              SQLITE_TRANSIENT);
        return run(m_wish);
    }

    // Attaches one line of `file` to the restored row `rowId`; false when the line is not one we
    // can store, or the row has that piece of data already.
    bool store(int file, const LineFields &fields, qint64 rowId) {
        if (!decodeValues(fields.values, m_values))
            return false;
        if (fields.kind == ReadingKindUtf8)
            return storeReading(file, rowId);
        if (fields.kind == IsbnKindUtf8)
            return storeIsbn(file, rowId);
        if (fields.kind == LoanKindUtf8)
            return storeLoan(file, rowId);
        return false;
    }

private:
    bool storeReading(int file, qint64 rowId) {
        static const QByteArray user = owntables::OriginUser.toUtf8();
        static const QByteArray suggested = owntables::OriginSuggested.toUtf8();
        if (m_values.size() != 2 || (m_values[1] != user && m_values[1] != suggested) ||
            !readings::isValidReading(QString::fromUtf8(m_values[0])))
            return false;
        sqlite::Statement &insert = file == 0 ? m_title : m_name;
        sqlite3_bind_int64(insert.get(), 1, rowId);
        for (int i = 0; i < 2; ++i)
            sqlite3_bind_text(insert.get(), i + 2, m_values[i].constData(), int(m_values[i].size()),
                              SQLITE_STATIC);
        if (file != 0)
            sqlite3_bind_text(insert.get(), 4, file == 1 ? "CHOSHA" : "HAKKOU", -1, SQLITE_STATIC);
        return run(insert);
    }

    // Only the 13 digits of a valid ISBN-13, as backup writes them, on a book's line.
    bool storeIsbn(int file, qint64 rowId) {
        if (file != 0 || m_values.size() != 1 ||
            Isbn::tryFromText(QString::fromLatin1(m_values[0])).digits().toLatin1() != m_values[0])
            return false;
        sqlite3_bind_int64(m_isbn.get(), 1, rowId);
        sqlite3_bind_text(m_isbn.get(), 2, m_values[0].constData(), int(m_values[0].size()),
                          SQLITE_STATIC);
        return run(m_isbn);
    }

    // A second loan not returned of one book is refused by the table, and kept.
    bool storeLoan(int file, qint64 rowId) {
        if (file != 0 || !isLoanLine(m_values))
            return false;
        sqlite3_bind_int64(m_loan.get(), 1, rowId);
        for (int i = 0; i < 4; ++i)
            sqlite3_bind_text(m_loan.get(), i + 2, m_values[i].constData(), int(m_values[i].size()),
                              SQLITE_STATIC);
        return run(m_loan);
    }

    bool run(sqlite::Statement &insert) {
        const int result = insert.step();
        insert.reset();
        if ((result & 0xff) == SQLITE_CONSTRAINT)
            return false;
        if (sqlite::Statement::failed(result))
            throw Failure(cannotRestore() + QStringLiteral(": ") + sqlite::lastError(m_handle));
        return true;
    }

    sqlite3 *m_handle;
    sqlite::Statement m_title;
    sqlite::Statement m_name;
    sqlite::Statement m_isbn;
    sqlite::Statement m_wish;
    sqlite::Statement m_loan;
    QList<QByteArray> m_values;
};

OwnDataRestore::OwnDataRestore(const QString &folder) : m_folder(folder) {
    if (!files::exists(FileName, folder))
        return;
    m_outcome.present = true;
    QFile file(files::resolve(FileName, folder));
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("「%1」を読めません: %2").arg(FileName, file.errorString()));
    if (file.size() > MaxFileSize) {
        m_outcome.problem = QStringLiteral("大きすぎます");
        return;
    }
    m_bytes = file.readAll();
    m_reader.emplace(m_bytes);
    m_outcome.problem = m_reader->problem();
    advance();
}

OwnDataRestore::~OwnDataRestore() = default;

void OwnDataRestore::advance() {
    m_line = {};
    m_lineFile = -1;
    QByteArrayView text;
    while (m_reader && m_reader->next(text)) {
        const bool shaped = text.size() <= MaxLineLength && splitLine(text, m_fields);
        if (shaped && belongsToNoRecord(m_fields)) {
            m_noRecordLines.append(text);
            continue;
        }
        if (shaped && (m_lineFile = ownFileIndex(m_fields.file)) >= 0) {
            m_line = text;
            return;
        }
        m_keptLines.append(text);
    }
}

void OwnDataRestore::begin(sqlite3 *handle) {
    if (!m_outcome.present)
        return;
    owntables::ensure(handle);
    if (m_outcome.problem.isEmpty())
        m_inserts = std::make_unique<Inserts>(handle);
}

void OwnDataRestore::recordRestored(const backup::Layout &layout, qint64 position,
                                    const char *record, qint64 rowId) {
    const int file = m_inserts ? ownFileIndex(layout.fileName) : -1;
    if (file < 0)
        return;
    m_rowIds[file].append(rowId);
    // Lines before this record's place: their record is not where they say.
    while (!m_line.isNull() &&
           (m_lineFile < file || (m_lineFile == file && m_fields.position < position))) {
        m_waiting.append(m_line);
        advance();
    }
    QByteArray digest;
    while (!m_line.isNull() && m_lineFile == file && m_fields.position == position) {
        if (digest.isEmpty())
            digest = recordDigest(QByteArrayView(record, layout.recordLength), m_reader->version());
        if (m_fields.digest == digest)
            attachOrKeep(m_line, m_fields, file, rowId);
        else
            m_waiting.append(m_line);
        advance();
    }
}

void OwnDataRestore::attachOrKeep(QByteArrayView text, const LineFields &fields, int file,
                                  qint64 rowId) {
    if (rowId > 0 && m_inserts && m_inserts->store(file, fields, rowId))
        ++m_outcome.attached;
    else
        m_keptLines.append(text);
}

void OwnDataRestore::finish() {
    for (; !m_line.isNull(); advance())
        m_waiting.append(m_line);
    for (const QByteArrayView text : std::as_const(m_waiting)) {
        LineFields fields;
        splitLine(text, fields);
        const int file = ownFileIndex(fields.file);
        attachOrKeep(text, fields, file, movedRecord(file, fields.digest));
    }
    m_waiting.clear();
    for (const QByteArrayView text : std::as_const(m_noRecordLines)) {
        LineFields fields;
        splitLine(text, fields);
        if (m_inserts && m_inserts->storeUnowned(fields))
            ++m_outcome.attached;
        else
            m_keptLines.append(text);
    }
    m_noRecordLines.clear();
    m_outcome.kept = m_keptLines.size();
    if (!m_outcome.problem.isEmpty() || !m_keptLines.isEmpty())
        m_outcome.keptFile =
            QStringLiteral("HONDANA-unattached-%1.DAT")
                .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
}

void OwnDataRestore::end() {
    m_inserts.reset();
}

qint64 OwnDataRestore::movedRecord(int file, QByteArrayView digest) {
    std::optional<QHash<QByteArray, qint64>> &index = m_digests[file];
    if (!index) {
        // Only a set edited since its backup gets here: the file is read once more, whole.
        index.emplace();
        const QString name = CarryingFiles[file];
        const backup::Layout &layout = backup::layout(name);
        backup::RecordReader reader(layout, files::resolve(name, m_folder));
        const QList<qint64> &rowIds = m_rowIds[file];
        while (const char *record = reader.next()) {
            if (reader.recordNumber() > rowIds.size())
                break;
            const QByteArray key =
                recordDigest(QByteArrayView(record, layout.recordLength), m_reader->version());
            const qint64 rowId = rowIds[reader.recordNumber() - 1];
            index->insert(key, index->contains(key) ? qint64(-1) : rowId);
        }
    }
    return index->value(digest.toByteArray(), 0);
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
    // In the version read: its digests are of that version's kind.
    safefile::ReplacingFileWriter file(kept);
    const QByteArray header = headerLine(m_reader->version());
    file.write(header.constData(), header.size());
    for (const QByteArrayView line : m_keptLines) {
        file.write(line.constData(), line.size());
        file.write("\n", 1);
    }
    file.commit();
}

} // namespace hondana
