#include "retrieval/ReportRows.h"

#include "base/Failure.h"
#include "db/Connection.h"
#include "db/RecordSet.h"

namespace hondana {

ReportRows::ReportRows() = default;
ReportRows::~ReportRows() = default;

void ReportRows::read(const QString &connectionString) {
    release();
    auto connection = std::make_unique<Connection>(connectionString);
    connection->open();
    auto rows = std::make_unique<RecordSet>();
    rows->open(*connection, report::Source);
    for (int i = 0; i < report::FieldCount; ++i) {
        const QString &column = report::detailFields()[size_t(i)].column;
        m_columns[size_t(i)] = rows->fieldIndex(column);
        if (m_columns[size_t(i)] < 0)
            throw Failure(QStringLiteral("%1 に列 %2 がありません。").arg(report::Source, column));
    }
    m_connection = std::move(connection);
    m_rows = std::move(rows);
}

void ReportRows::release() {
    m_rows.reset();
    m_connection.reset();
}

int ReportRows::count() const {
    return m_rows ? m_rows->recordCount() : 0;
}

QString ReportRows::text(int row, int field) const {
    return m_rows->valueAt(row, m_columns[size_t(field)]).toString();
}

} // namespace hondana
