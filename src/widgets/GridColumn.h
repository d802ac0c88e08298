#pragma once

#include <QList>
#include <QString>

namespace hondana {

// One column of a data grid as data, so that a screen describes its grid in a table.
struct GridColumn {
    QString field;
    QString caption = {};       // the field name when empty
    double widthTwips = 0;      // 0: the grid's default width
    QString displayFormat = {}; // "#,##0", "yyyy/MM/dd", "yyyy/m/d" or the general format
    bool hidden = false;        // bound but not shown (no width)
    bool locked = false;        // shown, never edited
};

} // namespace hondana
