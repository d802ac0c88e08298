#pragma once

#include "db/Schema.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <vector>

namespace hondana {

// One stored value in 16 bytes; texts live in one shared buffer per set, so 100,000 books take
// a few tens of megabytes instead of one heap block per field.
struct Cell {
    enum Type : quint8 { Null, Integer, Real, Text, Date, Other };
    Type type = Null;
    union {
        qint64 integer;
        double real;
        struct {
            quint32 offset;
            quint32 length;
        } text;
    };
    Cell() : integer(0) {}
    static Cell ofInteger(qint64 value);
    static Cell ofReal(double value);
    static Cell ofDate(qint64 julianDay);
};

// The rows of a record set, each `columns` cells wide with the rowid it has in its table.
// Rows are never reordered; a removed row keeps its place, marked, so that storage indexes held
// elsewhere stay valid until the next clear().
class RecordStorage {
public:
    void reset(int columns);
    int columns() const { return m_columns; }
    int rows() const { return int(m_rowIds.size()); }

    // Appends a row of null cells and returns its index.
    int appendRow(qint64 rowId);
    Cell &cell(int row, int column) { return m_cells[size_t(row) * m_columns + column]; }
    const Cell &cell(int row, int column) const {
        return m_cells[size_t(row) * m_columns + column];
    }
    qint64 rowId(int row) const { return m_rowIds[size_t(row)]; }
    void setRowId(int row, qint64 rowId) { m_rowIds[size_t(row)] = rowId; }
    bool isRemoved(int row) const { return m_removed[size_t(row)]; }
    void markRemoved(int row) { m_removed[size_t(row)] = true; }

    QVariant value(int row, int column) const { return toVariant(cell(row, column)); }
    // Stores `value` as the cell's kind reads it: a "YYYY-MM-DD" text in a date column is a date.
    void setValue(int row, int column, const QVariant &value, schema::Kind kind);

    QVariant toVariant(const Cell &cell) const;
    Cell toCell(const QVariant &value, schema::Kind kind);
    // A text cell whose characters `decode` writes straight into the shared buffer: it gets at
    // most `maxChars` of room and returns where it stopped.
    template <typename Decode> Cell appendText(qsizetype maxChars, Decode decode) {
        const qsizetype start = m_texts.size();
        m_texts.resize(start + maxChars);
        QChar *end = decode(m_texts.data() + start);
        m_texts.truncate(end - m_texts.constData());
        return textCell(start);
    }

private:
    Cell textCell(qsizetype start) const;

    int m_columns = 0;
    std::vector<Cell> m_cells;
    std::vector<qint64> m_rowIds;
    std::vector<bool> m_removed;
    QString m_texts;
    QList<QVariant> m_others;
};

} // namespace hondana
