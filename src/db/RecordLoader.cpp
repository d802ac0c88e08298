#include "db/RecordLoader.h"

#include "base/Failure.h"
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

} // namespace hondana
