#pragma once

#include "widgets/GridColumn.h"

#include <QColor>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

namespace hondana {

// A label of a screen; a heading is centred and bold.
struct ScreenLabel {
    QString name;
    QString text;
    QRectF twips;
    double pointSize;
    bool heading;
    QColor background = {}; // invalid: the window's own
};

// A text box whose typed text narrows one column.
struct SearchInput {
    QString name;
    QString column;
    QString label; // the name of the label that tells what to type
    QRectF twips;
    int tabIndex;
};

// Everything in which the three searches and the unread list differ: each is a screen over
// one stored query with a read-only grid; the searches narrow it by what is typed.
struct QueryScreenDescription {
    QString formName;
    QString caption;
    QString storedQuery;
    QSizeF clientTwips;
    QList<ScreenLabel> labels;
    // In the order their conditions join in the filter, whatever the order of typing.
    QList<SearchInput> inputs;
    // One condition: %1 the column, %2 the typed text as a literal.
    QString condition = {};
    QString emptyInputMessage = {};
    // "抽出" (absent on the unread list) and the close button.
    QString searchButton = {};
    QRectF searchButtonTwips = {};
    int searchButtonTab = 0;
    QString closeButton;
    QString closeCaption;
    QRectF closeButtonTwips;
    int closeButtonTab;
    QRectF gridTwips;
    int gridTab;
    QList<GridColumn> columns; // captions are the field names
    QColor gridBackground = {};
};

// Title, author-name and number search, in the order of the register's menu.
const QList<QueryScreenDescription> &searchDescriptions();
const QueryScreenDescription &unreadListDescription();

// The filter for what was typed into the inputs (in the description's order): each non-empty
// text becomes one condition, joined by " AND ". Empty when every text is empty, which the
// screens refuse.
QString searchFilter(const QueryScreenDescription &description, const QStringList &typed);

} // namespace hondana
