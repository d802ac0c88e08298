#pragma once

#include "db/Schema.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

namespace hondana {

class ComposedRows;

// One stored value in 8 bytes: its type and a 32-bit number, a date's day or where a text
// stands in the set's shared buffer. What does not fit (numbers past 32 bits, reals, texts longer
// than 65,535 bytes, anything else) stands in a list beside, as the variant it is. 100,000
// books of twenty columns take 16 MB of cells.
struct Cell {
    enum Type : quint8 { Null, Integer, Text, Date, Other };
    Type type = Null;
    quint16 length = 0; // a text's length in bytes
    qint32 value = 0;   // an integer, a Julian day, a text's offset, an index into the list
    static Cell ofDate(qint32 julianDay) { return {Date, 0, julianDay}; }
};
static_assert(sizeof(Cell) == 8);

// The rows of a record set, each `columns` cells wide with the rowid it has in its table.
// Rows are never reordered; a removed row keeps its place, marked, so that storage indexes held
// elsewhere stay valid until the next clear().
//
// The rows are either the set's own or, for a read-only set, rows composed of rows other sets
// share (see ComposedRows): then value() reads through them and there are no cells of its own.
class RecordStorage {
public:
    void reset(int columns);
    // Takes `rows` as the rows, read only; reset() drops them.
    void compose(std::shared_ptr<const ComposedRows> rows);
    int columns() const { return m_columns; }
    int rows() const { return int(m_rowIds.size()); }

    // Appends a row of null cells and returns its index.
    int appendRow(qint64 rowId);
    // Appends a row of null cells for each rowid, in one allocation.
    void appendRows(const std::vector<qint64> &rowIds);
    Cell &cell(int row, int column) { return m_cells[size_t(row) * m_columns + column]; }
    const Cell &cell(int row, int column) const {
        return m_cells[size_t(row) * m_columns + column];
    }
    qint64 rowId(int row) const { return m_rowIds[size_t(row)]; }
    void setRowId(int row, qint64 rowId) { m_rowIds[size_t(row)] = rowId; }
    bool isRemoved(int row) const { return m_removed[size_t(row)]; }
    void markRemoved(int row) { m_removed[size_t(row)] = true; }

    QVariant value(int row, int column) const;
    // Stores `value` as the cell's kind reads it: a "YYYY-MM-DD" text in a date column is a date.
    void setValue(int row, int column, const QVariant &value, schema::Kind kind);

    QVariant toVariant(const Cell &cell) const;
    // A text cell as the engine stored it, in UTF-8: a set holds the text of every row but shows
    // few, so a text is decoded when it is read, not when it is loaded. Its bytes compare as the
    // engine's binary collation compares.
    QByteArrayView utf8(const Cell &cell) const {
        return QByteArrayView(m_texts.constData() + quint32(cell.value), cell.length);
    }
    Cell toCell(const QVariant &value, schema::Kind kind);
    Cell integerCell(qint64 value);
    Cell dateCell(qint64 julianDay);
    // A variant kept as it is, in the list beside the cells.
    Cell otherCell(const QVariant &value);
    // A text cell of the UTF-8 text `utf8`.
    Cell textCell(QByteArrayView utf8);

private:
    int m_columns = 0;
    std::vector<Cell> m_cells;
    std::vector<qint64> m_rowIds;
    std::vector<bool> m_removed;
    QByteArray m_texts;
    QList<QVariant> m_others;
    std::shared_ptr<const ComposedRows> m_composed;
};

} // namespace hondana
