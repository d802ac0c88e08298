#pragma once

#include "base/Progress.h"

#include <QString>

class QPrinter;

namespace hondana {

class ReportRows;

namespace report {
class ReportPagination;

// The report's page: A4 in landscape, with margins that leave the table's full width.
void setUpPage(QPrinter &printer);

// The pages as they fall on the printer's paper.
ReportPagination paginate(const QPrinter &printer, const ReportRows &rows);

// Prints pages `from` to `to` (1-based, both included; clamped to the report) on `printer`,
// telling `progress` after each page. Returns false when `progress` stopped it. Throws Failure when
// the printer cannot start or fails on the way.
bool print(QPrinter &printer, const ReportRows &rows, int from, int to,
           const Progress &progress = {});

// Writes the whole report as a PDF file with its fonts embedded. A regular file appears only
// when complete: a failed or stopped save leaves an earlier file of that name as it was. A
// device or FIFO gets the complete file written into it; a folder is refused. Returns false
// when stopped; throws Failure naming the file.
bool savePdf(const QString &path, const ReportRows &rows, const Progress &progress = {});

} // namespace report
} // namespace hondana
