#pragma once

#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>

namespace hondana {

// A text box of the parent row, with the label beside it (none for the hidden key).
struct ParentField {
    QString name;
    QString field;
    QRectF twips;
    bool visible;
    QString label = {};
    QString labelText = {};
    QRectF labelTwips = {};
    QString displayFormat = {};
};

// Everything in which the three grouped lists differ.
struct GroupedListDescription {
    QString formName;
    QString caption;
    QString shapeCommand;
    QSizeF clientTwips;
    QList<ParentField> parentFields;
    QRectF gridTwips;
    double refreshLeftTwips;
    double closeLeftTwips;
};

// By category, by author, by publisher.
const QList<GroupedListDescription> &groupedListDescriptions();

} // namespace hondana
