#include "masters/MasterDescription.h"
#include "widgets/WindowNames.h"

namespace hondana {

namespace {

const QString Grouped = QStringLiteral("#,##0");
constexpr std::array<double, 4> EvenButtons{120, 1440, 2760, 4080};

QList<MasterDescription> buildDescriptions() {
    return {
        {windows::AuthorEditor,
         QStringLiteral("著者名登録"),
         {QStringLiteral("CHOSHA"), QStringLiteral("著者NO")},
         QStringLiteral("select 著者NO,著者名,国 from CHOSHA Order by 著者NO"),
         {{QStringLiteral("著者NO"), {}, 900.28, Grouped},
          {QStringLiteral("著者名"), {}, 3195.21},
          {QStringLiteral("国"), {}, 1995.02}},
         {5850, 4620},
         {290, 1675, 3060, 4445},
         360,
         QColor(250, 252, 160)},
        {windows::PublisherEditor,
         QStringLiteral("発行所登録"),
         {QStringLiteral("HAKKOU"), QStringLiteral("発行所NO")},
         QStringLiteral("select 発行所NO,発行所 from HAKKOU Order by 発行所NO"),
         {{QStringLiteral("発行所NO"), {}, 1604.98}, {QStringLiteral("発行所"), {}, 4995.21}},
         {5715, 4695},
         EvenButtons,
         330,
         QColor(255, 255, 162)},
        {windows::CategoryEditor,
         QStringLiteral("分野登録"),
         {QStringLiteral("BUNYA"), QStringLiteral("分野NO")},
         QStringLiteral("select 分野NO,分野名 from BUNYA Order by 分野NO"),
         {{QStringLiteral("分野NO"), {}, 870.24, Grouped}, {QStringLiteral("分野名"), {}, 4800.19}},
         {5460, 4725},
         EvenButtons,
         360,
         QColor(255, 255, 130)},
        {windows::SizeEditor,
         QStringLiteral("サイズ登録"),
         {QStringLiteral("SAIZU"), QStringLiteral("ｻｲｽﾞNO")},
         QStringLiteral("select ｻｲｽﾞNO,ｻｲｽﾞ名 from SAIZU Order by ｻｲｽﾞNO"),
         {{QStringLiteral("ｻｲｽﾞNO"), {}, 810.14}, {QStringLiteral("ｻｲｽﾞ名"), {}, 4394.83}},
         {5310, 4290},
         EvenButtons,
         360,
         QColor(255, 255, 149)},
    };
}

} // namespace

const QList<MasterDescription> &masterDescriptions() {
    static const QList<MasterDescription> descriptions = buildDescriptions();
    return descriptions;
}

} // namespace hondana
