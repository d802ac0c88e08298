#pragma once

#include "retrieval/ReportLayout.h"

#include <QString>

#include <array>
#include <memory>

class QTemporaryDir;

namespace hondana {

class Connection;
class RecordSet;

// The rows the detail report prints, read from the catalogue's query. read() takes a copy of
// the catalogue and learns how many rows there are; the rows themselves are read from the copy
// a block at a time when a page asks for them, so the first page of a large catalogue shows
// without waiting for the last, and every page shows the catalogue as it was at read() (a book
// saved meanwhile moves no row across a block's edge). Every read() starts afresh, so a report
// shown again shows the catalogue as it stands then.
class ReportRows {
public:
    // Rows read at a time: a few preview screens' worth, and few enough queries for a print.
    static constexpr int BlockRows = 2000;

    ReportRows();
    ~ReportRows();
    ReportRows(const ReportRows &) = delete;
    ReportRows &operator=(const ReportRows &) = delete;

    // Copies the catalogue `connectionString` names and counts the rows, replacing what was
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

    // The copy of the catalogue the rows come from, removed on release().
    std::unique_ptr<QTemporaryDir> m_copy;
    std::unique_ptr<Connection> m_connection;
    int m_count = 0;
    std::array<int, report::FieldCount> m_columns{};
    // The block at hand; reading a block is no change the caller sees.
    mutable std::unique_ptr<RecordSet> m_block;
    mutable int m_blockFirst = 0;
};

} // namespace hondana
