#pragma once

#include "retrieval/ReportLayout.h"

#include <QFont>
#include <QLineF>
#include <QRectF>

class QPainter;

namespace hondana {

class ReportRows;

namespace report {
class ReportPagination;
}

// Paints one page of the detail report. The layout's twips become device pixels at the
// device's own resolution, each position rounded on its own, so the rules stand where the
// layout puts them on a printer as on a PDF; the closely doubled rules between rows stay
// two lines.
class ReportPainter {
public:
    ReportPainter(const ReportRows &rows, const report::ReportPagination &pages);

    // Paints `page` (1-based) with the painter's origin at the top left of the printable area,
    // `printableWidth` twips wide; the table stands in the middle of it.
    void paintPage(QPainter &painter, int page, int printableWidth) const;

    // The rules' thickness: thin enough that two rules 10 twips apart print as two.
    static constexpr double RuleWidth = 4;

private:
    class Scale;

    void paintPageHeader(QPainter &painter, const Scale &scale, int page) const;
    void paintRow(QPainter &painter, const Scale &scale, int row, int top) const;
    static QFont fontOf(const report::TextStyle &style);
    static void paintText(QPainter &painter, const QRectF &box, Qt::Alignment alignment,
                          const QString &text);
    static void paintRules(QPainter &painter, const Scale &scale, const QList<QLine> &rules,
                           int top);

    const ReportRows &m_rows;
    const report::ReportPagination &m_pages;
};

} // namespace hondana
