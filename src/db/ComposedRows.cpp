#include "db/ComposedRows.h"

#include "db/RecordStorage.h"

namespace hondana {

ComposedRows::ComposedRows(std::vector<std::shared_ptr<const RecordStorage>> parts,
                           std::vector<Column> columns)
    : m_parts(std::move(parts)), m_columns(std::move(columns)) {}

void ComposedRows::append(const std::vector<qint32> &picks) {
    m_picks.insert(m_picks.end(), picks.begin(), picks.end());
}

QVariant ComposedRows::value(int row, int column) const {
    const Column &shown = m_columns[size_t(column)];
    const qint32 picked = m_picks[size_t(row) * m_parts.size() + size_t(shown.part)];
    if (picked == NoRow)
        return {};
    return m_parts[size_t(shown.part)]->value(picked, shown.column);
}

} // namespace hondana
