#include "db/RecordLoader.h"

#include "base/Failure.h"
#include "db/Connection.h"
#include "db/SqliteStatement.h"

#include <QDate>

namespace hondana {

namespace {

// "YYYY-MM-DD" as stored; anything else is not a stored date.
QDate storedDate(const unsigned char *text, int bytes) {
    if (!text || bytes != 10 || text[4] != '-' || text[7] != '-')
        return {};
    int parts[3] = {0, 0, 0};
    const int starts[3] = {0, 5, 8};
    const int lengths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p) {
        for (int i = 0; i < lengths[p]; ++i) {
            const unsigned char c = text[starts[p] + i];
            if (c < '0' || c > '9')
                return {};
            parts[p] = parts[p] * 10 + (c - '0');
        }
    }
    return QDate(parts[0], parts[1], parts[2]);
}

// Names, the catalogue's kinds and writability; kinds the catalogue does not know are settled
// by the first value read (see ColumnReader).
void describeColumns(sqlite3 *db, const SourcePlan &plan, sqlite3_stmt *statement, int first,
                     RecordFields &fields, std::vector<bool> &kindKnown) {
    fields = {};
    const int count = sqlite3_column_count(statement);
    for (int i = first; i < count; ++i) {
        const QString name = QString::fromUtf8(sqlite3_column_name(statement, i));
        fields.indexByName.insert(name, fields.count());
        fields.names << name;
    }
    fields.kinds.assign(size_t(fields.count()), schema::Kind::Text);
    kindKnown.assign(size_t(fields.count()), false);
    for (int i = 0; i < fields.count(); ++i) {
        if (const schema::Column *column = schema::findColumn(fields.names.at(i))) {
            fields.kinds[size_t(i)] = column->kind;
            kindKnown[size_t(i)] = true;
        }
    }
    fields.writable = writableColumns(db, statement, first, plan.table);
}

// Turns the engine's values of one row into cells. Each value is taken once from the statement
// and read through the value interface: every sqlite3_column_* call locks the connection again,
// which for 100,000 rows of twenty columns cost more than the engine's own reading. The values
// are read on the loading thread only, while the row is current.
class ColumnReader {
public:
    ColumnReader(sqlite3_stmt *statement, RecordStorage &storage)
        : m_statement(statement), m_storage(storage) {}

    Cell read(int column, schema::Kind kind) {
        sqlite3_value *value = sqlite3_column_value(m_statement, column);
        switch (sqlite3_value_type(value)) {
        case SQLITE_INTEGER:
            return m_storage.integerCell(sqlite3_value_int64(value));
        case SQLITE_FLOAT:
            return m_storage.otherCell(sqlite3_value_double(value));
        case SQLITE_TEXT:
            return text(value, kind);
        case SQLITE_BLOB: {
            const auto *bytes = static_cast<const char *>(sqlite3_value_blob(value));
            return m_storage.toCell(QByteArray(bytes, sqlite3_value_bytes(value)), kind);
        }
        default:
            return {};
        }
    }

private:
    Cell text(sqlite3_value *value, schema::Kind kind) {
        const unsigned char *utf8 = sqlite3_value_text(value);
        const int bytes = sqlite3_value_bytes(value);
        if (kind == schema::Kind::Date) {
            const QDate date = storedDate(utf8, bytes);
            if (date.isValid())
                return m_storage.dateCell(date.toJulianDay());
        }
        return m_storage.textCell(QByteArrayView(reinterpret_cast<const char *>(utf8), bytes));
    }

    sqlite3_stmt *m_statement;
    RecordStorage &m_storage;
};

// One state of the file for every statement run while it lives, where the engine would give
// each statement its own; nothing when the connection is already inside a transaction.
class ReadTransaction {
public:
    explicit ReadTransaction(sqlite3 *db) {
        if (sqlite3_get_autocommit(db) &&
            sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK)
            m_db = db;
    }
    ~ReadTransaction() {
        // Left open, it would hold back every later write of the connection.
        if (m_db && sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    ReadTransaction(const ReadTransaction &) = delete;
    ReadTransaction &operator=(const ReadTransaction &) = delete;

private:
    sqlite3 *m_db = nullptr;
};

void throwIfFailed(sqlite3 *db, int step, const QString &context) {
    if (sqlite::Statement::failed(step))
        throw Failure(context + QStringLiteral(": ") + sqlite::lastError(db));
}

} // namespace

void loadRecords(sqlite3 *db, const SourcePlan &plan, const QString &context, RecordFields &fields,
                 RecordStorage &storage) {
    sqlite::Statement statement(db, plan.sql, context);
    sqlite3_stmt *st = statement.get();
    const int first = plan.table.isEmpty() ? 0 : 1;
    std::vector<bool> kindKnown;
    describeColumns(db, plan, st, first, fields, kindKnown);
    storage.reset(fields.count());
    ColumnReader reader(st, storage);
    int step = SQLITE_ROW;
    while ((step = statement.step()) == SQLITE_ROW) {
        const int row = storage.appendRow(first ? sqlite3_column_int64(st, 0) : 0);
        for (int i = 0; i < fields.count(); ++i) {
            const Cell cell = reader.read(i + first, fields.kinds[size_t(i)]);
            storage.cell(row, i) = cell;
            if (!kindKnown[size_t(i)] && cell.type != Cell::Null) {
                // A column the catalogue does not describe is read as its first value says.
                if (storage.value(row, i).typeId() == QMetaType::LongLong)
                    fields.kinds[size_t(i)] = schema::Kind::Integer;
                kindKnown[size_t(i)] = true;
            }
        }
    }
    if (step != SQLITE_DONE) {
        const QString problem = sqlite::lastError(db);
        storage.reset(fields.count());
        throw Failure(context + QStringLiteral(": ") + problem);
    }
}

OnDemandRecords::OnDemandRecords(Connection &connection, RecordStorage &storage,
                                 const QString &context)
    : m_connection(connection), m_storage(storage), m_context(context) {}

std::unique_ptr<OnDemandRecords> OnDemandRecords::startReading(Connection &connection,
                                                               const SourcePlan &plan,
                                                               const QString &context,
                                                               RecordFields &fields,
                                                               RecordStorage &storage) {
    if (plan.rowIds.isEmpty())
        return nullptr;
    sqlite3 *db = sqlite::handleOf(connection.database());
    sqlite3_stmt *prepared = nullptr;
    const QByteArray rowIdsSql = plan.rowIds.toUtf8();
    // An ORDER BY by position means another column once the others are gone.
    if (sqlite3_prepare_v2(db, rowIdsSql.constData(), int(rowIdsSql.size()), &prepared, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(prepared);
        return nullptr;
    }
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> rowIds(prepared, sqlite3_finalize);

    // Each column must be the table's own, under its own name, of a kind known before any value
    // is read: then a row read by its rowid holds what the source would have given.
    sqlite::Statement planned(db, plan.sql, context);
    std::vector<bool> kindKnown;
    describeColumns(db, plan, planned.get(), 1, fields, kindKnown);
    QStringList columns;
    for (int i = 0; i < fields.count(); ++i) {
        if (!fields.writable[size_t(i)] || !kindKnown[size_t(i)])
            return nullptr;
        columns << schema::identifier(
            QString::fromUtf8(sqlite3_column_origin_name(planned.get(), i + 1)));
    }
    std::unique_ptr<OnDemandRecords> records(new OnDemandRecords(connection, storage, context));
    const QString select =
        QStringLiteral("SELECT rowid, %1 FROM %2 WHERE ")
            .arg(columns.join(QStringLiteral(", ")), schema::identifier(plan.table));
    records->m_byRowId = select + QStringLiteral("rowid = ?1");
    records->m_byRange = select + QStringLiteral("rowid BETWEEN ?1 AND ?2 ORDER BY rowid");
    records->m_kinds = fields.kinds;

    const ReadTransaction oneState(db);
    std::vector<qint64> ids;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(rowIds.get())) == SQLITE_ROW)
        ids.push_back(sqlite3_column_int64(rowIds.get(), 0));
    throwIfFailed(db, step, context);
    storage.reset(fields.count());
    storage.appendRows(ids);
    records->m_rows = storage.rows();
    records->m_blockRead.assign(size_t((records->m_rows + BlockRows - 1) / BlockRows), false);
    records->readBlockOf(0);
    return records;
}

void OnDemandRecords::readBlockOf(int row) {
    if (row < 0 || row >= m_rows || m_blockRead[size_t(row / BlockRows)])
        return;
    readBlock(sqlite::handleOf(m_connection.database()), row / BlockRows);
}

void OnDemandRecords::readAll() {
    sqlite3 *db = sqlite::handleOf(m_connection.database());
    const ReadTransaction oneState(db);
    for (size_t block = 0; block < m_blockRead.size(); ++block) {
        if (!m_blockRead[block])
            readBlock(db, int(block));
    }
}

void OnDemandRecords::readBlock(sqlite3 *db, int block) {
    const int first = block * BlockRows;
    const int last = std::min(m_rows, first + BlockRows);
    bool upward = true;
    for (int row = first + 1; row < last && upward; ++row)
        upward = m_storage.rowId(row) > m_storage.rowId(row - 1);
    const ReadTransaction oneState(db);
    sqlite::Statement statement(db, upward ? m_byRange : m_byRowId, m_context);
    sqlite3_stmt *st = statement.get();
    ColumnReader reader(st, m_storage);
    const auto readRow = [&](int row) {
        for (int i = 0; i < m_storage.columns(); ++i)
            m_storage.cell(row, i) = reader.read(i + 1, m_kinds[size_t(i)]);
    };
    int step = SQLITE_DONE;
    if (upward) {
        sqlite3_bind_int64(st, 1, m_storage.rowId(first));
        sqlite3_bind_int64(st, 2, m_storage.rowId(last - 1));
        int row = first;
        while ((step = statement.step()) == SQLITE_ROW) {
            // Rows written since the rowids were read stand between them; they are not the set's.
            const qint64 id = sqlite3_column_int64(st, 0);
            while (row < last && m_storage.rowId(row) < id)
                ++row;
            if (row < last && m_storage.rowId(row) == id)
                readRow(row++);
        }
    } else {
        for (int row = first; row < last; ++row) {
            sqlite3_bind_int64(st, 1, m_storage.rowId(row));
            step = statement.step();
            if (step == SQLITE_ROW)
                readRow(row);
            else
                throwIfFailed(db, step, m_context);
            statement.reset();
        }
        step = SQLITE_DONE;
    }
    throwIfFailed(db, step, m_context);
    m_blockRead[size_t(block)] = true;
}

} // namespace hondana
