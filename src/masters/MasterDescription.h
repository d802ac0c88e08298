#pragma once

#include "catalogue/MasterRules.h"
#include "widgets/GridColumn.h"

#include <QColor>
#include <QList>
#include <QSizeF>
#include <QString>

#include <array>

namespace hondana {

// Everything in which the four master editors differ. The editors are one class driven by
// one of these.
struct MasterDescription {
    QString formName; // the editor's name, also the register's way of asking for it
    QString caption;  // window and grid caption
    masters::MasterKey key;
    QString sql;
    QList<GridColumn> columns; // each captioned with its field name (no caption of its own)
    QSizeF clientTwips;        // client area when the editor opens
    std::array<double, 4> buttonLeftsTwips; // 追加, 更新, 削除, 閉じる
    double navigatorHeightTwips;            // the hidden navigator still takes its room
    QColor gridBackground;
};

// Authors, publishers, categories and sizes, in the order of the register's menu bar.
const QList<MasterDescription> &masterDescriptions();

} // namespace hondana
