#include "retrieval/ReportRows.h"

#include "base/Failure.h"
#include "db/Connection.h"
#include "db/RecordSet.h"
#include "db/Schema.h"

namespace hondana {

namespace {

QString query(const QString &columns, const QString &rest = {}) {
    return QStringLiteral("SELECT %1 FROM %2 %3")
        .arg(columns, schema::identifier(report::Source), rest)
        .trimmed();
}

} // namespace

ReportRows::ReportRows() = default;
ReportRows::~ReportRows() = default;

void ReportRows::read(const QString &connectionString) {
    release();
    auto connection = std::make_unique<Connection>(connectionString);
    connection->open();
    RecordSet columns;
    columns.open(*connection, query(QStringLiteral("*"), QStringLiteral("LIMIT 0")));
    for (int i = 0; i < report::FieldCount; ++i) {
        const QString &column = report::detailFields()[size_t(i)].column;
        m_columns[size_t(i)] = columns.fieldIndex(column);
        if (m_columns[size_t(i)] < 0)
            throw Failure(QStringLiteral("%1 に列 %2 がありません。").arg(report::Source, column));
    }
    // Counting names no column, so the engine need not look up the master names of every book.
    RecordSet rows;
    rows.open(*connection, query(QStringLiteral("1")));
    m_count = rows.recordCount();
    m_connection = std::move(connection);
}

void ReportRows::release() {
    m_block.reset();
    m_connection.reset();
    m_count = 0;
}

QString ReportRows::text(int row, int field) const {
    if (!m_block || row < m_blockFirst || row >= m_blockFirst + BlockRows)
        readBlock(row - row % BlockRows);
    return m_block->valueAt(row - m_blockFirst, m_columns[size_t(field)]).toString();
}

void ReportRows::readBlock(int first) const {
    if (!m_connection)
        throw Failure(QStringLiteral("%1 を読んでいません。").arg(report::Source));
    auto block = std::make_unique<RecordSet>();
    block->open(
        *m_connection,
        query(QStringLiteral("*"), QStringLiteral("LIMIT %1 OFFSET %2").arg(BlockRows).arg(first)));
    m_block = std::move(block);
    m_blockFirst = first;
}

} // namespace hondana
