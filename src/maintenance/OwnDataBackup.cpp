#include "maintenance/OwnDataBackup.h"

#include "base/Failure.h"
#include "base/FaultPoint.h"
#include "base/FileNames.h"
#include "base/HandOverQueue.h"
#include "base/SafeFile.h"
#include "catalogue/Isbn.h"
#include "catalogue/ReadingText.h"
#include "db/OwnTables.h"
#include "db/SqliteStatement.h"
#include "maintenance/BackupFormat.h"

#include <QDateTime>
#include <QFile>

#include <atomic>
#include <deque>
#include <exception>
#include <thread>

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

// Records a batch the backup's thread hands the line writer at once: few enough to keep the
// writer busy from early on, enough to make handing them over cheap.
constexpr qsizetype RecordsPerBatch = 2048;
// How far the backup's thread may run ahead of the line writer: its batches wait in memory.
constexpr std::size_t BatchesAhead = 16;
constexpr qsizetype SyncWhenIdleAfter = qsizetype(1) << 20;

} // namespace

// Reads our rows from a connection of its own and writes their lines on a thread of its own. The
// catalogue keeps the rollback journal: while the backup's read transaction holds its shared lock
// no writer can commit, so a read transaction this connection begins then sees the very state the
// backup reads, and the files still show the catalogue at one moment.
class OwnDataBackup::LineWriter {
public:
    // Begins the read on `catalogue`'s file; the backup's connection must hold its shared lock.
    LineWriter(sqlite3 *catalogue, safefile::ReplacingFileWriter &file)
        : m_file(file), m_batches(BatchesAhead) {
        // A read inside the backup's transaction takes the lock, if nothing has read yet, and
        // keeps it to the transaction's end.
        const char *path = sqlite3_db_filename(catalogue, "main");
        if (sqlite3_exec(catalogue, "SELECT count(*) FROM sqlite_master", nullptr, nullptr,
                         nullptr) != SQLITE_OK)
            throw Failure(cannotWriteOwnFile() + QStringLiteral(": ") +
                          sqlite::lastError(catalogue));
        if (sqlite3_open_v2(path ? path : "", &m_handle, SQLITE_OPEN_READONLY, nullptr) !=
                SQLITE_OK ||
            sqlite3_busy_timeout(m_handle, 5000) != SQLITE_OK ||
            sqlite3_exec(m_handle, "BEGIN; SELECT count(*) FROM sqlite_master", nullptr, nullptr,
                         nullptr) != SQLITE_OK) {
            const QString problem = sqlite::lastError(m_handle);
            sqlite3_close(m_handle);
            throw Failure(cannotWriteOwnFile() + QStringLiteral(": ") + problem);
        }
        m_thread = std::thread([this] { run(); });
    }

    ~LineWriter() {
        m_batches.cancel();
        if (m_thread.joinable())
            m_thread.join();
        m_cursors.clear();
        sqlite3_close(m_handle); // its read transaction ends with it
    }

    LineWriter(const LineWriter &) = delete;
    LineWriter &operator=(const LineWriter &) = delete;

    // Throws the failure the writer met, if any, rather than handing it more work.
    void hand(const backup::Layout &layout, std::vector<WrittenRecord> &&records) {
        if (m_failed)
            finish();
        m_batches.push({&layout, std::move(records)});
    }

    // Writes the lines that belong to no record after every other, waits until all are written
    // and throws the failure the writer met, if any.
    void finish() {
        m_batches.close();
        if (m_thread.joinable())
            m_thread.join();
        if (m_failure)
            std::rethrow_exception(m_failure);
    }

private:
    struct Batch {
        const backup::Layout *layout;
        std::vector<WrittenRecord> records;
    };
    struct Cursor {
        Cursor(sqlite3 *handle, const QString &sql, const QByteArray &kind)
            : query(handle, sql, cannotWriteOwnFile()), kind(kind),
              values(sqlite3_column_count(query.get()) - 1) {}
        sqlite::Statement query; // the row's rowid, then the line's values
        QByteArray kind;
        int values;
        int state = 0;
    };

    void run() {
        try {
            Batch batch;
            while (take(batch)) {
                if (batch.layout != m_layout)
                    beginTable(*batch.layout);
                for (const WrittenRecord &record : batch.records)
                    write(record);
            }
            if (!m_batches.cancelled())
                writeLinesOfNoRecord();
        } catch (...) {
            m_failure = std::current_exception();
            m_failed = true;
        }
    }

    // The next batch; false once there are no more to come or the backup has been given up.
    bool take(Batch &batch) {
        if (m_unsynced >= SyncWhenIdleAfter && m_batches.wouldWait()) {
            // Waiting for the backup's thread anyway: what is written goes to the disk now
            // rather than when the backup waits for it at the end.
            m_file.sync();
            m_unsynced = 0;
        }
        return m_batches.pop(batch);
    }

    void beginTable(const backup::Layout &layout) {
        m_layout = &layout;
        m_cursors.clear();
        m_fileName = layout.fileName.toUtf8();
        // A book's lines of every kind come together, readings first, then ISBNs, then loans;
        // a catalogue whose tables of ours predate ISBNs or loans has none to write.
        if (layout.table == QLatin1String("BOOK")) {
            addCursor(ReadingKindUtf8,
                      QStringLiteral("SELECT book_rowid, reading, origin FROM %1 ORDER BY 1")
                          .arg(owntables::TitleReadingTable));
            if (owntables::hasTable(m_handle, owntables::BookIsbnTable))
                addCursor(IsbnKindUtf8, QStringLiteral("SELECT book_rowid, isbn FROM %1 ORDER BY 1")
                                            .arg(owntables::BookIsbnTable));
            if (owntables::hasTable(m_handle, owntables::LoanTable))
                addCursor(
                    LoanKindUtf8,
                    QStringLiteral("SELECT book_rowid, borrower, lent_on, ifnull(due_on, ''), "
                                   "ifnull(returned_on, '') FROM %1 ORDER BY book_rowid, id")
                        .arg(owntables::LoanTable));
        } else {
            addCursor(ReadingKindUtf8,
                      QStringLiteral("SELECT master_rowid, reading, origin FROM %1 "
                                     "WHERE master = '%2' ORDER BY master_rowid")
                          .arg(owntables::NameReadingTable, layout.table));
        }
    }

    void addCursor(const QByteArray &kind, const QString &sql) {
        step(m_cursors.emplace_back(m_handle, sql, kind));
    }

    void step(Cursor &cursor) {
        cursor.state = cursor.query.step();
        if (sqlite::Statement::failed(cursor.state))
            throw Failure(cannotWriteOwnFile() + QStringLiteral(": ") +
                          sqlite::lastError(m_handle));
    }

    // The lines of each kind for the record, in the order of its cursor; rows of ours before the
    // record's belong to rows the .DAT file leaves out.
    void write(const WrittenRecord &record) {
        char digest[DigestLength];
        bool spelled = false;
        for (Cursor &cursor : m_cursors) {
            sqlite3_stmt *query = cursor.query.get();
            qint64 rowId = 0;
            while (cursor.state == SQLITE_ROW &&
                   (rowId = sqlite3_column_int64(query, 0)) < record.rowId)
                step(cursor);
            while (cursor.state == SQLITE_ROW && rowId == record.rowId) {
                if (!spelled)
                    spellDigest(record.hash, digest);
                spelled = true;
                const auto value = [query](int i) { return sqlite::columnBytes(query, i); };
                m_line.resize(0);
                const QByteArrayView spelledDigest(digest, DigestLength);
                if (cursor.values == 1)
                    appendLine(m_line, m_fileName, record.position, spelledDigest, cursor.kind,
                               {value(1)});
                else if (cursor.values == 2)
                    appendLine(m_line, m_fileName, record.position, spelledDigest, cursor.kind,
                               {value(1), value(2)});
                else
                    appendLine(m_line, m_fileName, record.position, spelledDigest, cursor.kind,
                               {value(1), value(2), value(3), value(4)});
                m_file.write(m_line.constData(), m_line.size());
                m_unsynced += m_line.size();
                step(cursor);
                rowId = cursor.state == SQLITE_ROW ? sqlite3_column_int64(query, 0) : 0;
            }
        }
    }

    void writeLinesOfNoRecord() {
        if (!owntables::hasTable(m_handle, owntables::WishTable))
            return;
        // In the order they were added, so a restored list numbers them alike.
        sqlite::Statement query(
            m_handle,
            QStringLiteral("SELECT priority, added_on, title, ifnull(author, ''), "
                           "ifnull(isbn, ''), ifnull(note, '') FROM %1 ORDER BY id")
                .arg(owntables::WishTable),
            cannotWriteOwnFile());
        const QByteArray noRecord(NoRecordFile.data(), NoRecordFile.size());
        int result;
        while ((result = query.step()) == SQLITE_ROW) {
            const auto value = [&](int i) { return sqlite::columnBytes(query.get(), i); };
            m_line.resize(0);
            appendLine(m_line, noRecord, 0, {}, WishKindUtf8,
                       {value(0), value(1), value(2), value(3), value(4), value(5)});
            m_file.write(m_line.constData(), m_line.size());
        }
        if (sqlite::Statement::failed(result))
            throw Failure(cannotWriteOwnFile() + QStringLiteral(": ") +
                          sqlite::lastError(m_handle));
    }

    sqlite3 *m_handle = nullptr;
    safefile::ReplacingFileWriter &m_file;
    // Used by the writer's thread only.
    const backup::Layout *m_layout = nullptr;
    std::deque<Cursor> m_cursors; // our rows of m_layout's table, one cursor per kind
    QByteArray m_fileName;
    QByteArray m_line;              // one line at a time, its capacity kept
    qsizetype m_unsynced = 0;       // bytes written since the last sync
    HandOverQueue<Batch> m_batches; // from the backup's thread
    std::atomic<bool> m_failed = false;
    std::exception_ptr m_failure; // read once the thread has ended
    std::thread m_thread;
};

OwnDataBackup::OwnDataBackup(sqlite3 *handle, const QString &folder)
    : m_handle(handle), m_present(owntables::present(handle)), m_folder(folder) {}

OwnDataBackup::~OwnDataBackup() = default;

// Opened with the first table rather than at once, so that a folder the backup cannot write
// is named by the first .DAT file, as before there was a file of ours.
void OwnDataBackup::startFile() {
    if (m_writer)
        return;
    m_writer = std::make_unique<safefile::ReplacingFileWriter>(files::resolve(FileName, m_folder));
    const QByteArray header = headerLine();
    m_writer->write(header.constData(), header.size());
    if (m_present)
        m_lines = std::make_unique<LineWriter>(m_handle, *m_writer);
}

void OwnDataBackup::beginTable(const backup::Layout &layout) {
    startFile();
    handOver();
    m_layout = m_lines && ownFileIndex(layout.fileName) >= 0 ? &layout : nullptr;
}

void OwnDataBackup::handOver() {
    if (m_records.empty())
        return;
    m_lines->hand(*m_layout, std::move(m_records));
    m_records = {};
    m_records.reserve(RecordsPerBatch);
}

void OwnDataBackup::recordWritten(qint64 rowId, qint64 position, QByteArrayView record) {
    if (!m_layout)
        return;
    m_records.push_back({rowId, position, hashRecord(record)});
    if (qsizetype(m_records.size()) == RecordsPerBatch)
        handOver();
}

void OwnDataBackup::commit() {
    startFile();
    if (m_lines) {
        handOver();
        m_lines->finish();
    }
    faultpoint(("backup." + FileName.toLatin1()).constData());
    m_writer->commit();
}

// A line of the file as the reading thread leaves it for the end of the restore.
struct OwnDataRestore::ReadLine {
    enum class Place : qint8 { Kept, NoRecord, Record };
    QByteArrayView text;
    QByteArrayView values; // of a record's line: still escaped
    qint64 position = 0;
    Digest digest{};
    Place place = Place::Kept;
    qint8 file = -1; // of a record's line: which file of ours
    // What it holds that restore can store for a record of its file.
    enum class Storable : qint8 { Nothing, Reading, Isbn, Loan };
    Storable holds = Storable::Nothing;

    // A reading with its origin, on any file's record; the 13 digits of a valid ISBN-13, as
    // backup writes them, or a loan, on a book's. `scratch` is space for the values.
    static Storable storable(int file, const LineFields &fields, QList<QByteArray> &scratch);
};

OwnDataRestore::ReadLine::Storable
OwnDataRestore::ReadLine::storable(int file, const LineFields &fields, QList<QByteArray> &values) {
    static const QByteArray user = owntables::OriginUser.toUtf8();
    static const QByteArray suggested = owntables::OriginSuggested.toUtf8();
    if (!decodeValues(fields.values, values))
        return Storable::Nothing;
    if (fields.kind == ReadingKindUtf8 && values.size() == 2 &&
        (values[1] == user || values[1] == suggested) &&
        readings::isValidReading(QString::fromUtf8(values[0])))
        return Storable::Reading;
    if (fields.kind == IsbnKindUtf8 && file == 0 && values.size() == 1 &&
        Isbn::tryFromText(QString::fromLatin1(values[0])).digits().toLatin1() == values[0])
        return Storable::Isbn;
    if (fields.kind == LoanKindUtf8 && file == 0 && isLoanLine(values))
        return Storable::Loan;
    return Storable::Nothing;
}

// The statements that attach a line to a restored book or master entry, prepared once.
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

    // Attaches a storable line of `file` to the restored row `rowId`; false when the table
    // refuses it (the row has that piece of data already).
    bool store(const ReadLine &line, qint64 rowId) {
        if (!decodeValues(line.values, m_values))
            return false;
        const int file = line.file;
        sqlite::Statement &insert = line.holds == ReadLine::Storable::Reading
                                        ? (file == 0 ? m_title : m_name)
                                    : line.holds == ReadLine::Storable::Isbn ? m_isbn
                                                                             : m_loan;
        sqlite3_bind_int64(insert.get(), 1, rowId);
        for (int i = 0; i < m_values.size(); ++i)
            sqlite3_bind_text(insert.get(), i + 2, m_values[i].constData(), int(m_values[i].size()),
                              SQLITE_STATIC);
        if (&insert == &m_name)
            sqlite3_bind_text(insert.get(), 4, file == 1 ? "CHOSHA" : "HAKKOU", -1, SQLITE_STATIC);
        return run(insert);
    }

private:
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
    m_file = std::make_unique<QFile>(files::resolve(FileName, folder));
    if (!m_file->open(QIODevice::ReadOnly))
        throw Failure(
            QStringLiteral("「%1」を読めません: %2").arg(FileName, m_file->errorString()));
    if (m_file->size() > MaxFileSize) {
        m_outcome.problem = QStringLiteral("大きすぎます");
        return;
    }
    // The header says now whether the file can be read and how its records are digested; the
    // rest is read while the .DAT files go in.
    const LineReader header(m_file->readLine(MaxLineLength));
    m_outcome.problem = header.problem();
    m_version = header.version();
    if (m_outcome.problem.isEmpty())
        m_reading = std::thread([this] {
            try {
                readLines();
            } catch (...) {
                m_readFailure = std::current_exception();
            }
        });
}

OwnDataRestore::~OwnDataRestore() {
    if (m_reading.joinable())
        m_reading.join();
}

void OwnDataRestore::readLines() {
    m_file->seek(0);
    m_bytes = m_file->readAll();
    LineReader reader(m_bytes);
    // A file replaced since its header was read is kept whole, line by line.
    const bool sameVersion = reader.version() == m_version;
    QList<QByteArray> scratch;
    QByteArrayView text;
    while (reader.next(text)) {
        ReadLine &line = m_lines.emplace_back();
        line.text = text;
        LineFields fields;
        if (!sameVersion || text.size() > MaxLineLength || !splitLine(text, fields))
            continue;
        const int file = ownFileIndex(fields.file);
        if (belongsToNoRecord(fields)) {
            line.place = ReadLine::Place::NoRecord;
        } else if (file >= 0) {
            line.place = ReadLine::Place::Record;
            line.file = qint8(file);
            line.position = fields.position;
            line.values = fields.values;
            line.digest = digestFromText(fields.digest).value_or(Digest{});
            line.holds = ReadLine::storable(file, fields, scratch);
        }
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
    if (!m_inserts)
        return;
    if (&layout != m_layout) {
        m_layout = &layout;
        m_layoutFile = ownFileIndex(layout.fileName);
    }
    if (m_layoutFile < 0)
        return;
    std::vector<RestoredRecord> &records = m_records[m_layoutFile];
    if (qint64(records.size()) < position)
        records.resize(size_t(position));
    records[size_t(position - 1)] = {
        rowId, recordDigest(QByteArrayView(record, layout.recordLength), m_version)};
}

void OwnDataRestore::attachOrKeep(const ReadLine &line, qint64 rowId) {
    if (rowId > 0 && line.holds != ReadLine::Storable::Nothing && m_inserts &&
        m_inserts->store(line, rowId))
        ++m_outcome.attached;
    else
        m_keptLines.append(line.text);
}

void OwnDataRestore::finish() {
    if (m_reading.joinable())
        m_reading.join();
    if (m_readFailure)
        std::rethrow_exception(m_readFailure);
    // In the file's order: the lines whose record is at their place, then those of a set edited
    // since its backup, then those that belong to no record.
    std::vector<const ReadLine *> moved;
    std::vector<const ReadLine *> noRecord;
    for (const ReadLine &line : m_lines) {
        if (line.place == ReadLine::Place::Kept) {
            m_keptLines.append(line.text);
        } else if (line.place == ReadLine::Place::NoRecord) {
            noRecord.push_back(&line);
        } else {
            const std::vector<RestoredRecord> &records = m_records[line.file];
            const qint64 position = line.position;
            if (position <= qint64(records.size()) &&
                records[size_t(position - 1)].digest == line.digest)
                attachOrKeep(line, records[size_t(position - 1)].rowId);
            else
                moved.push_back(&line);
        }
    }
    for (const ReadLine *line : moved)
        attachOrKeep(*line, movedRecord(line->file, line->digest));
    for (const ReadLine *line : noRecord) {
        LineFields fields;
        splitLine(line->text, fields);
        if (m_inserts && m_inserts->storeUnowned(fields))
            ++m_outcome.attached;
        else
            m_keptLines.append(line->text);
    }
    m_lines = {};
    m_outcome.kept = m_keptLines.size();
    if (!m_outcome.problem.isEmpty() || !m_keptLines.isEmpty())
        m_outcome.keptFile =
            QStringLiteral("HONDANA-unattached-%1.DAT")
                .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
}

void OwnDataRestore::end() {
    m_inserts.reset();
}

qint64 OwnDataRestore::movedRecord(int file, const Digest &digest) {
    const auto key = [](const Digest &bytes) {
        return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
    };
    std::optional<QHash<QByteArray, qint64>> &index = m_digests[file];
    if (!index) {
        // Only a set edited since its backup gets here.
        index.emplace();
        for (const RestoredRecord &record : m_records[file]) {
            if (record.rowId > 0)
                index->insert(key(record.digest),
                              index->contains(key(record.digest)) ? qint64(-1) : record.rowId);
        }
    }
    return index->value(key(digest), 0);
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
    const QByteArray header = headerLine(m_version);
    file.write(header.constData(), header.size());
    for (const QByteArrayView line : m_keptLines) {
        file.write(line.constData(), line.size());
        file.write("\n", 1);
    }
    file.commit();
}

} // namespace hondana
