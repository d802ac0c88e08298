#include "retrieval/ReportRows.h"

#include "base/Failure.h"
#include "base/FileNames.h"
#include "db/Connection.h"
#include "db/RecordSet.h"
#include "db/Schema.h"

#include <QTemporaryDir>

namespace hondana {

namespace {

QString query(const QString &columns, const QString &rest = {}) {
    return QStringLiteral("SELECT %1 FROM %2 %3")
        .arg(columns, schema::identifier(report::Source), rest)
        .trimmed();
}

// The catalogue as it stands now, copied whole into a folder of its own: every block read
// later comes from this one state, whatever is saved meanwhile. Copying pages costs far less
// than reading every row through the query, so a large catalogue still opens at once.
std::unique_ptr<QTemporaryDir> copyOfCatalogue(const QString &connectionString) {
    auto folder = std::make_unique<QTemporaryDir>();
    if (!folder->isValid())
        throw Failure(QStringLiteral("一時フォルダーを作れません: %1").arg(folder->errorString()));
    Connection live(connectionString);
    live.open();
    live.copyTo(folder->filePath(files::Catalogue));
    return folder;
}

} // namespace

ReportRows::ReportRows() = default;
ReportRows::~ReportRows() = default;

void ReportRows::read(const QString &connectionString) {
    release();
    auto copy = copyOfCatalogue(connectionString);
    auto connection = std::make_unique<Connection>(
        QStringLiteral("Data Source=%1").arg(files::Catalogue), copy->path());
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
    m_copy = std::move(copy);
}

void ReportRows::release() {
    m_block.reset();
    m_connection.reset();
    m_copy.reset();
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
