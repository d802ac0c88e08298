#include "retrieval/QueryScreenDescription.h"

#include "db/FilterExpression.h"

#include "widgets/WindowNames.h"
#include <array>

namespace hondana {

namespace {

const QColor Yellow(0xFF, 0xFF, 0x00);
const QColor LightYellow(0xFF, 0xFF, 0xC0);
const QColor LightCyan(0xC0, 0xFF, 0xFF);
const QString Close = QStringLiteral("閉じる");

// The twenty columns of the stored query behind the title and author-name searches.
const QStringList BookFields = {
    QStringLiteral("題名"),      QStringLiteral("ｼﾘｰｽﾞ"),  QStringLiteral("著者名"),
    QStringLiteral("発行所"),    QStringLiteral("分野名"), QStringLiteral("読書ｽﾀﾝﾌﾟ"),
    QStringLiteral("SEQNO"),     QStringLiteral("全体NO"), QStringLiteral("発行日"),
    QStringLiteral("購入日"),    QStringLiteral("版数"),   QStringLiteral("管理番号1"),
    QStringLiteral("管理番号2"), QStringLiteral("内容"),   QStringLiteral("価格"),
    QStringLiteral("請求番号"),  QStringLiteral("購入先"), QStringLiteral("読書完了日"),
    QStringLiteral("読感ﾗﾝｸ"),   QStringLiteral("ｻｲｽﾞ名")};

// A column to look at: captioned with its field, locked against typing.
GridColumn shown(const QString &field, double widthTwips, const QString &format = {}) {
    return {field, {}, widthTwips, format, false, true};
}

QList<GridColumn> bookColumns(const QList<double> &widths, const QStringList &formats = {}) {
    QList<GridColumn> columns;
    for (int i = 0; i < BookFields.size(); ++i)
        columns << shown(BookFields.at(i), widths.at(i), formats.value(i));
    return columns;
}

QList<GridColumn> shownColumns(const QList<std::pair<const char *, double>> &fields) {
    QList<GridColumn> columns;
    for (const auto &[field, width] : fields)
        columns << shown(QString::fromUtf8(field), width);
    return columns;
}

// Where the title and the author-name search differ: both have a heading, a hint, one box, the
// search and the close button, and list the twenty columns.
struct OneBoxSearch {
    QString form;
    const char *caption;
    const char *heading;
    QRectF headingAt;
    double headingPoints;
    QColor headingBackground;
    const char *hint;
    QRectF hintAt;
    const char *box;
    const char *column;
    QRectF boxAt;
    const char *emptyMessage;
    QRectF searchAt;
    QRectF closeAt;
    QRectF gridAt;
    std::array<int, 4> tabs; // box, search, close, grid
};

QueryScreenDescription oneBoxSearch(const OneBoxSearch &s) {
    QueryScreenDescription d;
    d.formName = s.form;
    d.caption = QString::fromUtf8(s.caption);
    d.storedQuery = QStringLiteral("TQ1");
    d.labels = {{QStringLiteral("Label1"), QString::fromUtf8(s.heading), s.headingAt,
                 s.headingPoints, true, s.headingBackground},
                {QStringLiteral("Label2"), QString::fromUtf8(s.hint), s.hintAt, 9, false}};
    d.inputs = {{QString::fromUtf8(s.box), QString::fromUtf8(s.column), QStringLiteral("Label2"),
                 s.boxAt, s.tabs[0]}};
    d.condition = QStringLiteral("%1 LIKE '%2*' ");
    d.emptyInputMessage = QString::fromUtf8(s.emptyMessage);
    d.searchButton = QStringLiteral("Command1");
    d.searchButtonTwips = s.searchAt;
    d.searchButtonTab = s.tabs[1];
    d.closeButton = QStringLiteral("Command2");
    d.closeCaption = Close;
    d.closeButtonTwips = s.closeAt;
    d.closeButtonTab = s.tabs[2];
    d.gridTwips = s.gridAt;
    d.gridTab = s.tabs[3];
    return d;
}

QueryScreenDescription titleSearch() {
    QueryScreenDescription d =
        oneBoxSearch({windows::TitleSearch,
                      "題名抽出",
                      "題名・抽出",
                      {2520, 120, 4455, 375},
                      13.5,
                      Yellow,
                      "抽出したい題名（一部指定可）を入力し、抽出ボタンを押してください",
                      {480, 720, 5292, 252},
                      "DAIMEI",
                      "題名",
                      {720, 1080, 6375, 372},
                      "抽出する題名を入力してください！",
                      {7560, 1080, 732, 372},
                      {9360, 1080, 732, 372},
                      {120, 1650, 10575, 4800},
                      {2, 1, 5, 0}});
    d.clientTwips = {11085, 6645};
    QStringList formats(20);
    formats[8] = QStringLiteral("yyyy/m/d");
    formats[9] = QStringLiteral("yyyy/MM/dd");
    formats[17] = QStringLiteral("yyyy/MM/dd");
    d.columns = bookColumns({2505.26, 705.26,  1200.19, 1200.19, 1005.17, 854.93,  705.26,
                             705.26,  1200.19, 1200.19, 705.26,  1500.09, 1500.09, 1665.07,
                             794.83,  1665.07, 1200.19, 1005.17, 794.83,  794.83},
                            formats);
    return d;
}

QueryScreenDescription authorSearch() {
    QueryScreenDescription d = oneBoxSearch({windows::AuthorSearch,
                                             "著者名抽出",
                                             "著者名・抽出",
                                             {1920, 240, 3972, 372},
                                             16.5,
                                             LightYellow,
                                             "抽出したい著者名(一部入力可）を入力してください",
                                             {600, 840, 4212, 252},
                                             "CHOSHA",
                                             "著者名",
                                             {600, 1200, 3612, 372},
                                             "抽出する著者名を入力してください！",
                                             {5040, 1200, 852, 372},
                                             {6720, 1200, 732, 372},
                                             {252, 1800, 7932, 3732},
                                             {1, 4, 5, 3}});
    d.clientTwips = {8475, 5760};
    d.columns = bookColumns({1800.00, 705.26,  1604.98, 1500.09, 1200.19, 794.83,  705.26,
                             705.26,  1005.17, 1005.17, 705.26,  1005.17, 1005.17, 1604.98,
                             794.83,  1005.17, 1200.19, 1005.17, 794.83,  1200.19});
    return d;
}

QueryScreenDescription numberSearch() {
    QueryScreenDescription d;
    d.formName = windows::NumberSearch;
    // The window's own caption was never settled; it carries its heading.
    d.caption = QStringLiteral("管理番号検索");
    d.storedQuery = QStringLiteral("TQ3");
    d.clientTwips = {9675, 6600};
    const auto numberLabel = [](const char *name, const char *text, QRectF at) {
        return ScreenLabel{
            QString::fromUtf8(name), QString::fromUtf8(text), at, 10.5, false, LightCyan};
    };
    d.labels = {{QStringLiteral("Label4"),
                 QStringLiteral("管理番号検索"),
                 {120, 120, 7215, 255},
                 12,
                 true,
                 LightYellow},
                numberLabel("Label2", "管理番号1", {720, 480, 1095, 255}),
                numberLabel("Label3", "管理番号２", {4680, 480, 1095, 255}),
                numberLabel("Label1", "請求番号", {720, 960, 1095, 255}),
                {QStringLiteral("Label5"),
                 QStringLiteral("抽出したい番号を指定してください。それぞれAnd条件になります。一部"
                                "指定が出来ます。"),
                 {720, 1320, 7095, 255},
                 9,
                 false}};
    d.inputs = {{QStringLiteral("SEIKYU"),
                 QStringLiteral("請求番号"),
                 QStringLiteral("Label1"),
                 {1800, 960, 1452, 264},
                 3},
                {QStringLiteral("KANRI1"),
                 QStringLiteral("管理番号1"),
                 QStringLiteral("Label2"),
                 {1800, 480, 1452, 264},
                 1},
                {QStringLiteral("KANRI2"),
                 QStringLiteral("管理番号2"),
                 QStringLiteral("Label3"),
                 {5760, 480, 1452, 264},
                 2}};
    d.condition = QStringLiteral("(%1 LIKE '%2*')");
    d.emptyInputMessage = QStringLiteral("抽出する番号を入力してください！");
    d.searchButton = QStringLiteral("Command1");
    d.searchButtonTwips = {7920, 840, 972, 372};
    d.searchButtonTab = 5;
    d.closeButton = QStringLiteral("Command2");
    d.closeCaption = Close;
    d.closeButtonTwips = {7920, 120, 972, 372};
    d.closeButtonTab = 9;
    d.gridTwips = {255, 1680, 9120, 4725};
    d.gridTab = 4;
    d.columns = shownColumns({{"著者名", 1500.09},
                              {"題名", 1800.00},
                              {"ｼﾘｰｽﾞ", 705.26},
                              {"管理番号1", 1200.19},
                              {"管理番号2", 1200.19},
                              {"請求番号", 1200.19},
                              {"購入日", 1005.17},
                              {"SEQNO", 0},
                              {"発行所", 1005.17},
                              {"分野名", 1005.17},
                              {"読書ｽﾀﾝﾌﾟ", 705.26}});
    d.columns[7].hidden = true; // SEQNO is carried but not seen
    return d;
}

QueryScreenDescription unreadList() {
    QueryScreenDescription d;
    d.formName = windows::UnreadList;
    d.caption = QStringLiteral("未読一覧");
    d.storedQuery = QStringLiteral("TQ2");
    d.clientTwips = {9465, 5370};
    d.labels = {{QStringLiteral("Label1"),
                 QStringLiteral("未読一覧"),
                 {1080, 120, 5655, 375},
                 13.5,
                 true,
                 LightYellow}};
    d.closeButton = QStringLiteral("cmdClose");
    d.closeCaption = QStringLiteral("閉じる(&C)");
    d.closeButtonTwips = {7560, 240, 1095, 300};
    d.closeButtonTab = 2;
    d.gridTwips = {360, 720, 8655, 4440};
    d.gridTab = 1;
    d.columns = shownColumns({{"読書ｽﾀﾝﾌﾟ", 900.28},
                              {"購入日", 1005.17},
                              {"題名", 1800.00},
                              {"ｼﾘｰｽﾞ", 599.81},
                              {"SEQNO", 794.83},
                              {"著者名", 1800.00},
                              {"発行所", 1800.00},
                              {"分野名", 1200.19},
                              {"管理番号1", 1200.19},
                              {"管理番号2", 1200.19},
                              {"請求番号", 1200.19}});
    d.gridBackground = QColor(0x84, 0x94, 0xBD);
    return d;
}

} // namespace

const QList<QueryScreenDescription> &searchDescriptions() {
    static const QList<QueryScreenDescription> all = {titleSearch(), authorSearch(),
                                                      numberSearch()};
    return all;
}

const QueryScreenDescription &unreadListDescription() {
    static const QueryScreenDescription description = unreadList();
    return description;
}

QString searchFilter(const QueryScreenDescription &description, const QStringList &typed) {
    QStringList conditions;
    for (int i = 0; i < description.inputs.size(); ++i) {
        const QString text = typed.value(i);
        if (!text.isEmpty())
            conditions << description.condition.arg(description.inputs.at(i).column,
                                                    FilterExpression::literal(text));
    }
    return conditions.join(QStringLiteral(" AND "));
}

} // namespace hondana
