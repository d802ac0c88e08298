#pragma once

#include "retrieval/ReportLayout.h"

#include <QString>

#include <array>
#include <memory>

namespace hondana {

class Connection;
class RecordSet;

// The rows the detail report prints, read from the catalogue's query. read() learns how many
// rows there are; the rows themselves are read a block at a time when a page asks for them, so
// the first page of a large catalogue shows without waiting for the last. Every read() starts
// afresh, so a report shown again shows the catalogue as it stands then.
class ReportRows {
public:
    // Rows read at a time: a few preview screens' worth, and few enough queries for a print.
    static constexpr int BlockRows = 2000;

    ReportRows();
    ~ReportRows();
    ReportRows(const ReportRows &) = delete;
    ReportRows &operator=(const ReportRows &) = delete;

    // Opens the catalogue through `connectionString` and counts the rows, replacing what was
    // read before. Throws Failure when the catalogue or the query cannot be read, or the query
    // lacks a column the report prints; nothing is held then.
    void read(const QString &connectionString);
    // Lets go of the rows and the catalogue.
    void release();

    int count() const { return m_count; }
    // The text of a detail field (index into report::detailFields()); empty for a null and for
    // a row the catalogue no longer has. Reads the row's block when it is not at hand; throws
    // Failure when that fails.
    QString text(int row, int field) const;

private:
    void readBlock(int first) const;

    std::unique_ptr<Connection> m_connection;
    int m_count = 0;
    std::array<int, report::FieldCount> m_columns{};
    // The block at hand; reading a block is no change the caller sees.
    mutable std::unique_ptr<RecordSet> m_block;
    mutable int m_blockFirst = 0;
};

} // namespace hondana
