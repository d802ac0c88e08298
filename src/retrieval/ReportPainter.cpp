#include "retrieval/ReportPainter.h"

#include "retrieval/ReportPagination.h"
#include "retrieval/ReportRows.h"

#include <QPaintDevice>
#include <QPainter>
#include <QPen>

#include <cmath>

namespace hondana {

using namespace report;

// Twips on the page to whole device pixels of the painter's device.
class ReportPainter::Scale {
public:
    Scale(const QPaintDevice &device, int left)
        : m_x(device.logicalDpiX() / 1440.0), m_y(device.logicalDpiY() / 1440.0), m_left(left) {}

    double x(int twips) const { return std::round((m_left + twips) * m_x); }
    double y(int twips) const { return std::round(twips * m_y); }
    QRectF rect(const QRect &box, int top) const {
        return QRectF(QPointF(x(box.left()), y(top + box.top())),
                      QPointF(x(box.left() + box.width()), y(top + box.top() + box.height())));
    }
    QLineF line(const QLine &rule, int top) const {
        return {x(rule.x1()), y(top + rule.y1()), x(rule.x2()), y(top + rule.y2())};
    }
    double width(double twips) const { return std::max(1.0, std::round(twips * m_y)); }

private:
    double m_x;
    double m_y;
    int m_left;
};

ReportPainter::ReportPainter(const ReportRows &rows, const ReportPagination &pages)
    : m_rows(rows), m_pages(pages) {}

void ReportPainter::paintPage(QPainter &painter, int page, int printableWidth) const {
    const Scale scale(*painter.device(), std::max(0, (printableWidth - LayoutWidth) / 2));
    painter.save();
    painter.setPen(QPen(Qt::black, scale.width(RuleWidth), Qt::SolidLine, Qt::FlatCap));
    paintPageHeader(painter, scale, page);
    const ReportPagination::Rows rows = m_pages.rowsOn(page);
    for (int i = 0; i < rows.count; ++i)
        paintRow(painter, scale, rows.first + i, PageHeaderHeight + i * DetailHeight);
    painter.restore();
}

void ReportPainter::paintPageHeader(QPainter &painter, const Scale &scale, int page) const {
    for (const Label &label : pageHeaderLabels()) {
        const QString text = label.text == PageNumberText ? QString::number(page) : label.text;
        painter.setFont(fontOf(label.style));
        paintText(painter, scale.rect(label.box, 0), label.style.alignment, text);
    }
    paintRules(painter, scale, pageHeaderRules(), 0);
}

void ReportPainter::paintRow(QPainter &painter, const Scale &scale, int row, int top) const {
    painter.setFont(fontOf(DetailStyle));
    for (int i = 0; i < FieldCount; ++i)
        paintText(painter, scale.rect(detailFields()[size_t(i)].box, top), DetailStyle.alignment,
                  m_rows.text(row, i));
    paintRules(painter, scale, detailRules(), top);
}

QFont ReportPainter::fontOf(const TextStyle &style) {
    QFont font(DefaultFontFamily);
    font.setPointSizeF(style.points);
    font.setBold(style.bold);
    return font;
}

// A text never spills into its neighbour: what does not fit its box is cut off at the edge.
// Only such a text is clipped, which keeps a printer's or a PDF's page small.
void ReportPainter::paintText(QPainter &painter, const QRectF &box, Qt::Alignment alignment,
                              const QString &text) {
    if (text.isEmpty())
        return;
    const int flags = int(alignment | Qt::AlignTop | Qt::TextSingleLine);
    const bool fits = painter.fontMetrics().horizontalAdvance(text) <= box.width() &&
                      painter.fontMetrics().height() <= box.height();
    if (!fits)
        painter.setClipRect(box);
    painter.drawText(box, flags, text);
    if (!fits)
        painter.setClipping(false);
}

void ReportPainter::paintRules(QPainter &painter, const Scale &scale, const QList<QLine> &rules,
                               int top) {
    for (const QLine &rule : rules)
        painter.drawLine(scale.line(rule, top));
}

} // namespace hondana
