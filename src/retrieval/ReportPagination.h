#pragma once

namespace hondana::report {

// Which rows go on which page: every page carries the page header, then as many detail rows
// as the page's printable height leaves room for. Pages are numbered from 1; a report without
// rows still has its one page of title and headings.
class ReportPagination {
public:
    struct Rows {
        int first; // 0-based index of the page's first row
        int count;
    };

    // `printableHeight` in twips. A page too short for even one row still takes one, so every
    // row is printed somewhere.
    ReportPagination(int rowCount, int printableHeight);

    int rowsPerPage() const { return m_rowsPerPage; }
    int pageCount() const { return m_pageCount; }
    // The rows of `page` (1-based); none for a page outside the report.
    Rows rowsOn(int page) const;

private:
    int m_rowCount;
    int m_rowsPerPage;
    int m_pageCount;
};

} // namespace hondana::report
