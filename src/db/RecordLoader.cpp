#include "db/RecordLoader.h"

#include "base/Failure.h"
#include "db/SqliteStatement.h"

#include <QDate>
#include <QStringDecoder>

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

// Turns the engine's values of one row into cells.
class ColumnReader {
public:
    ColumnReader(sqlite3_stmt *statement, RecordStorage &storage)
        : m_statement(statement), m_storage(storage) {}

    Cell read(int column, schema::Kind kind) {
        switch (sqlite3_column_type(m_statement, column)) {
        case SQLITE_INTEGER:
            return m_storage.integerCell(sqlite3_column_int64(m_statement, column));
        case SQLITE_FLOAT:
            return m_storage.otherCell(sqlite3_column_double(m_statement, column));
        case SQLITE_TEXT:
            return text(column, kind);
        case SQLITE_BLOB: {
            const auto *bytes = static_cast<const char *>(sqlite3_column_blob(m_statement, column));
            return m_storage.toCell(QByteArray(bytes, sqlite3_column_bytes(m_statement, column)),
                                    kind);
        }
        default:
            return {};
        }
    }

private:
    Cell text(int column, schema::Kind kind) {
        const unsigned char *utf8 = sqlite3_column_text(m_statement, column);
        const int bytes = sqlite3_column_bytes(m_statement, column);
        if (kind == schema::Kind::Date) {
            const QDate date = storedDate(utf8, bytes);
            if (date.isValid())
                return m_storage.dateCell(date.toJulianDay());
        }
        // Decoded from the stored UTF-8 straight into the shared buffer: no copy the engine or a
        // temporary string would make per value.
        const QByteArrayView view(reinterpret_cast<const char *>(utf8), bytes);
        return m_storage.appendText(m_decoder.requiredSpace(bytes), [&](QChar *out) {
            return m_decoder.appendToBuffer(out, view);
        });
    }

    sqlite3_stmt *m_statement;
    RecordStorage &m_storage;
    QStringDecoder m_decoder{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless};
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
