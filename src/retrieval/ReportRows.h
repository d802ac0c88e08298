#pragma once

#include "retrieval/ReportLayout.h"

#include <QString>

#include <array>
#include <memory>

namespace hondana {

class Connection;
class RecordSet;

// The rows the detail report prints, read from the catalogue's query as it stands now. The
// rows are read afresh by every read(), so a report shown again shows today's catalogue.
class ReportRows {
public:
    ReportRows();
    ~ReportRows();
    ReportRows(const ReportRows &) = delete;
    ReportRows &operator=(const ReportRows &) = delete;

    // Reads every row through `connectionString`, replacing what was read before. Throws
    // Failure when the catalogue or the query cannot be read; nothing is held then.
    void read(const QString &connectionString);
    // Lets go of the rows and the catalogue.
    void release();

    int count() const;
    // The text of a detail field (index into report::detailFields()); empty for a null.
    QString text(int row, int field) const;

private:
    std::unique_ptr<Connection> m_connection;
    std::unique_ptr<RecordSet> m_rows;
    std::array<int, report::FieldCount> m_columns{};
};

} // namespace hondana
