#pragma once

#include <QLine>
#include <QList>
#include <QRect>
#include <QString>

#include <array>

// The detail report's page, in twips (1440 to the inch) from the top left of its band: what
// the page header and each detail row hold and where their rules stand. Painting and paging
// both read it, so a change of the layout moves both together.
namespace hondana::report {

struct TextStyle {
    double points;
    bool bold;
    Qt::Alignment alignment;
};

// A fixed text of the page header; PageNumberText is replaced by the page's number.
struct Label {
    QString name;
    QString text;
    QRect box;
    TextStyle style;
};

// A text box of the detail band bound to a column of the report's rows.
struct Field {
    QString name;
    QString column;
    QRect box;
};

inline const QString PageNumberText = QStringLiteral("%p");
inline const QString DefaultFontFamily = QStringLiteral("ＭＳ Ｐゴシック");
inline constexpr double DefaultPoints = 9;

inline constexpr int PageHeaderHeight = 1144;
inline constexpr int DetailHeight = 577;
// The report header and page footer hold nothing and take no room; neither does the report
// footer, which is empty too and never worth a page of its own.
inline constexpr int LayoutWidth = 13040;

const QList<Label> &pageHeaderLabels();
const QList<QLine> &pageHeaderRules();

inline constexpr int FieldCount = 8;
const std::array<Field, FieldCount> &detailFields();
inline constexpr TextStyle DetailStyle = {9.75, false, Qt::AlignLeft};
const QList<QLine> &detailRules();

// The query the report prints, one row per book in its own order.
inline const QString Source = QStringLiteral("TQ3");

} // namespace hondana::report
