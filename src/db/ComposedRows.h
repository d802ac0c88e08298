#pragma once

#include <QVariant>

#include <memory>
#include <vector>

namespace hondana {

class RecordStorage;

// Rows made of the rows of other stores, which they share and never change: each row picks one
// row of every part (or none, and that part's columns are null in it), each column shows one
// column of one part. A hundred thousand rows of five parts take two megabytes, whatever the
// parts' rows hold.
class ComposedRows {
public:
    struct Column {
        int part;
        int column;
    };

    ComposedRows(std::vector<std::shared_ptr<const RecordStorage>> parts,
                 std::vector<Column> columns);

    int parts() const { return int(m_parts.size()); }
    int columns() const { return int(m_columns.size()); }
    int rows() const { return int(m_picks.size() / m_parts.size()); }

    // One row: a row index (or NoRow) for each part, in the parts' order.
    static constexpr qint32 NoRow = -1;
    void append(const std::vector<qint32> &picks);
    void reserve(int rows) { m_picks.reserve(size_t(rows) * m_parts.size()); }

    QVariant value(int row, int column) const;

private:
    std::vector<std::shared_ptr<const RecordStorage>> m_parts;
    std::vector<Column> m_columns;
    std::vector<qint32> m_picks;
};

} // namespace hondana
