#pragma once

#include "catalogue/MasterRules.h"

#include <QColor>
#include <QList>
#include <QSizeF>
#include <QString>

#include <array>

namespace hondana {

// One column of a master editor's grid; the caption is the bound column's name.
struct MasterColumn {
    QString field;
    double widthTwips;
    QString numberFormat = {}; // empty: the general format
};

// Everything in which the four master editors differ. The editors are one class driven by
// one of these.
struct MasterDescription {
    QString formName; // the editor's name, also the register's way of asking for it
    QString caption;  // window and grid caption
    masters::MasterKey key;
    QString sql;
    QList<MasterColumn> columns;
    QSizeF clientTwips;                     // client area when the editor opens
    std::array<double, 4> buttonLeftsTwips; // 追加, 更新, 削除, 閉じる
    double navigatorHeightTwips;            // the hidden navigator still takes its room
    QColor gridBackground;
};

// Authors, publishers, categories and sizes, in the order of the register's menu bar.
const QList<MasterDescription> &masterDescriptions();
// The description of the editor `formName`; nullptr when there is none.
const MasterDescription *findMasterDescription(const QString &formName);

} // namespace hondana
