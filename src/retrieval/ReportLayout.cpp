#include "retrieval/ReportLayout.h"

namespace hondana::report {

namespace {

constexpr TextStyle Title = {16.5, true, Qt::AlignLeft};
constexpr TextStyle Plain = {DefaultPoints, false, Qt::AlignLeft};
constexpr TextStyle Heading = {11.25, true, Qt::AlignHCenter};
constexpr TextStyle LeftHeading = {11.25, true, Qt::AlignLeft};
constexpr TextStyle SmallHeading = {9.75, true, Qt::AlignHCenter};

constexpr int RuleRight = 13039;
constexpr int RuleDrop = 570;
constexpr int RowRule = 567;
constexpr int HeadingTop = 567;
constexpr int HeadingBottom = 1134;

QLine vertical(int left, int top, int height) {
    return {left, top, left, top + height};
}

QLine horizontal(int top) {
    return {0, top, RuleRight, top};
}

// The frame of one row: top and bottom rules, the column rules hanging a little below the
// bottom one, and the left edge.
QList<QLine> rowRules(int top, int bottom, const std::array<int, 8> &columnRules) {
    QList<QLine> rules{horizontal(top), horizontal(bottom)};
    for (int left : columnRules)
        rules << vertical(left, top, RuleDrop);
    rules << vertical(0, top, bottom - top);
    return rules;
}

Field field(const char *name, const char *column, int left, int width) {
    return {QString::fromUtf8(name), QString::fromUtf8(column), QRect(left, 142, width, 435)};
}

} // namespace

const QList<Label> &pageHeaderLabels() {
    static const QList<Label> labels = {
        {QStringLiteral("Label9"), QStringLiteral("本棚帖・明細一覧"), QRect(3969, 0, 3390, 425),
         Title},
        {QStringLiteral("Label10"), QStringLiteral("ページ"), QRect(11055, 142, 555, 240), Plain},
        {QStringLiteral("Label11"), PageNumberText, QRect(11622, 142, 1140, 240), Plain},
        {QStringLiteral("Label1"), QStringLiteral("題名"), QRect(0, 709, 2976, 431), Heading},
        {QStringLiteral("Label2"), QStringLiteral("ｼﾘｰｽﾞ"), QRect(3118, 709, 855, 420),
         LeftHeading},
        {QStringLiteral("Label3"), QStringLiteral("著者名"), QRect(4110, 709, 1979, 428), Heading},
        {QStringLiteral("Label4"), QStringLiteral("発行所"), QRect(6236, 709, 1565, 428), Heading},
        {QStringLiteral("Label5"), QStringLiteral("分野"), QRect(7937, 709, 1267, 428), Heading},
        {QStringLiteral("Label8"), QStringLiteral("請求NO"), QRect(9354, 709, 1140, 435), Heading},
        {QStringLiteral("Label6"), QStringLiteral("管理番号1"), QRect(10630, 709, 1140, 428),
         SmallHeading},
        {QStringLiteral("Label7"), QStringLiteral("管理番号2"), QRect(11906, 709, 1125, 428),
         SmallHeading},
    };
    return labels;
}

const QList<QLine> &pageHeaderRules() {
    static const QList<QLine> rules =
        rowRules(HeadingTop, HeadingBottom, {2976, 3969, 6094, 7795, 9213, 10488, 11764, 13040});
    return rules;
}

const std::array<Field, FieldCount> &detailFields() {
    static const std::array<Field, FieldCount> fields = {
        field("txt題名", "題名", 142, 2835),
        field("txtｼﾘｰｽﾞ", "ｼﾘｰｽﾞ", 3118, 855),
        field("txt著者名", "著者名", 4110, 1979),
        field("txt発行所", "発行所", 6236, 1565),
        field("txt分野名", "分野名", 7937, 1267),
        field("txt請求番号", "請求番号", 9354, 1140),
        field("txt管理番号1", "管理番号1", 10630, 1140),
        field("txt管理番号2", "管理番号2", 11906, 1125),
    };
    return fields;
}

const QList<QLine> &detailRules() {
    static const QList<QLine> rules =
        rowRules(0, RowRule, {2976, 3969, 6094, 7795, 9213, 10488, 11764, 13039});
    return rules;
}

} // namespace hondana::report
