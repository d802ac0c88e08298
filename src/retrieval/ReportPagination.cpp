#include "retrieval/ReportPagination.h"

#include "retrieval/ReportLayout.h"

#include <algorithm>

namespace hondana::report {

ReportPagination::ReportPagination(int rowCount, int printableHeight)
    : m_rowCount(std::max(0, rowCount)),
      m_rowsPerPage(std::max(1, (printableHeight - PageHeaderHeight) / DetailHeight)),
      m_pageCount(std::max(1, (m_rowCount + m_rowsPerPage - 1) / m_rowsPerPage)) {}

ReportPagination::Rows ReportPagination::rowsOn(int page) const {
    if (page < 1 || page > m_pageCount)
        return {0, 0};
    const int first = (page - 1) * m_rowsPerPage;
    return {first, std::min(m_rowsPerPage, m_rowCount - first)};
}

} // namespace hondana::report
