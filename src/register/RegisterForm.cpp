#include "register/RegisterForm.h"
#include "widgets/WindowNames.h"

namespace hondana::registerform {

namespace {

const QString Date = QStringLiteral("yyyy/MM/dd");
const QString Number = QStringLiteral("#,##0");
const QString Required = QStringLiteral("入力必須項目");
const QString DateHint = QStringLiteral("YYYY/MM/DDの形式で入力");

// Rows of the form, top to bottom; every field of a row shares its top edge.
constexpr double RowTop[] = {780, 1260, 1740, 2220, 2700, 3180, 3660, 4140, 4620};
constexpr double RowHeight = 330;
constexpr double NotesHeight = 1200;
constexpr double LeftLabel = 120;
constexpr double LeftLabelWidth = 1020;
constexpr double LeftField = 1200;
constexpr double FullWidth = 6450;

QRectF at(int row, double left, double width, double height = RowHeight) {
    return {left, RowTop[row - 1], width, height};
}

QRectF leftLabel(int row) {
    return at(row, LeftLabel, LeftLabelWidth);
}

Field text(const char *name, const char *label, const char *column, QRectF labelRect,
           QRectF fieldRect) {
    return {QString::fromUtf8(name),
            QString::fromUtf8(label),
            QString::fromUtf8(column),
            Control::Text,
            labelRect,
            fieldRect};
}

Field number(Field field, const QString &toolTip = {}) {
    field.displayFormat = Number;
    field.rightAligned = true;
    field.toolTip = toolTip;
    return field;
}

Field date(Field field) {
    field.displayFormat = Date;
    field.toolTip = DateHint;
    return field;
}

Field japanese(Field field) {
    field.inputMethodOn = true;
    return field;
}

Field required(Field field, const QString &toolTip = Required) {
    field.required = true;
    field.toolTip = toolTip;
    return field;
}

Field lookup(const char *name, const char *label, const char *column, QRectF labelRect,
             QRectF fieldRect) {
    Field field = text(name, label, column, labelRect, fieldRect);
    field.control = Control::Lookup;
    return field;
}

QList<Field> buildFields() {
    Field notes = japanese(text("txtFields(20)", "内容:", "内容", leftLabel(9),
                                at(9, LeftField, FullWidth, NotesHeight)));
    notes.control = Control::Notes;
    return {
        required(japanese(
            text("txtFields(1)", "題名:", "題名", leftLabel(1), at(1, LeftField, FullWidth)))),
        japanese(text("txtFields(2)", "ｼﾘｰｽﾞ:", "ｼﾘｰｽﾞ", leftLabel(2), at(2, LeftField, 900))),
        required(
            number(text("txtFields(3)", "通し番号:", "SEQNO", at(2, 4200, 900), at(2, 5100, 840))),
            QStringLiteral("数字で入力、入力必須")),
        number(text("txtFields(4)", "全体冊数", "全体NO", at(2, 6000, 780), at(2, 6840, 810))),
        required(
            lookup("DataCombo1", "著者名", "著者NO", leftLabel(3), at(3, LeftField, FullWidth))),
        required(lookup("DataCombo2", "発行所:", "発行所NO", leftLabel(4), at(4, LeftField, 2580))),
        date(text("txtFields(7)", "発行日:", "発行日", at(4, 3900, 780), at(4, 4680, 1260))),
        number(text("txtFields(8)", "版数:", "版数", at(4, 6060, 600), at(4, 6660, 990))),
        date(text("txtFields(9)", "購入日:", "購入日", leftLabel(5), at(5, LeftField, 1260))),
        number(text("Text1", "価格", "価格", at(5, 2580, 540), at(5, 3120, 1200))),
        japanese(text("Text2", "購入先", "購入先", at(5, 4440, 720), at(5, 5160, 2490))),
        required(lookup("DataCombo3", "分野:", "分野NO", leftLabel(6), at(6, LeftField, 2580))),
        required(lookup("DataCombo4", "ｻｲｽﾞ:", "ｻｲｽﾞNO", at(6, 3900, 780), at(6, 4680, 2970))),
        lookup("DataCombo5", "読書ｽﾀﾝﾌﾟ:", "読書ｽﾀﾝﾌﾟ", leftLabel(7), at(7, LeftField, 1260)),
        date(text("Text3", "読書完了日", "読書完了日", at(7, 2580, 1020), at(7, 3660, 1260))),
        number(text("Text4", "読感ランク", "読感ﾗﾝｸ", at(7, 5040, 960), at(7, 6060, 900)),
               QStringLiteral("数字でランク付けをする")),
        text("Text5", "請求番号", "請求番号", leftLabel(8), at(8, LeftField, 1800)),
        text("txtFields(18)", "管理番号1:", "管理番号1", at(8, 3060, 960), at(8, 4020, 1260)),
        text("txtFields(19)", "管理番号2:", "管理番号2", at(8, 5400, 960), at(8, 6360, 1290)),
        notes,
    };
}

QList<Lookup> buildLookups() {
    return {
        {QStringLiteral("DataCombo1"), QStringLiteral("Adodc1"), QStringLiteral("CHOSHA"),
         QStringLiteral("著者名"), QStringLiteral("著者NO"), true},
        {QStringLiteral("DataCombo2"), QStringLiteral("Adodc2"), QStringLiteral("HAKKOU"),
         QStringLiteral("発行所"), QStringLiteral("発行所NO"), true},
        {QStringLiteral("DataCombo3"), QStringLiteral("Adodc3"), QStringLiteral("BUNYA"),
         QStringLiteral("分野名"), QStringLiteral("分野NO"), true},
        {QStringLiteral("DataCombo4"), QStringLiteral("Adodc4"), QStringLiteral("SAIZU"),
         QStringLiteral("ｻｲｽﾞ名"), QStringLiteral("ｻｲｽﾞNO"), true},
        {QStringLiteral("DataCombo5"), QStringLiteral("Adodc5"), QStringLiteral("DSTMP"),
         QStringLiteral("STMPID"), QString(), false},
    };
}

MenuCommand command(const char *name, const char *caption, Opening opening,
                    const QString &window = {}) {
    return {QString::fromUtf8(name), QString::fromUtf8(caption), opening, window};
}

QList<MenuTitle> buildMenuBar() {
    return {
        {command("CHOSHA", "著者名", Opening::Beside, windows::AuthorEditor)},
        {command("HAKKOU", "発行所", Opening::Beside, windows::PublisherEditor)},
        {command("BUNYA", "分野", Opening::Beside, windows::CategoryEditor)},
        {command("SAIZU", "サイズ", Opening::Beside, windows::SizeEditor)},
        {command("CHUUSHU", "抽出...", Opening::Beside),
         {command("DAIMEIQ", "題名・抽出", Opening::Beside, windows::TitleSearch),
          command("CHOSHAQ", "著者名・抽出", Opening::Beside, windows::AuthorSearch),
          command("KANRIQ", "管理番号・抽出", Opening::Beside, windows::NumberSearch)}},
        {command("ICHIRAN", "一覧...", Opening::InPlace),
         {command("CHOSHA1", "著者名別一覧", Opening::InPlace, windows::ListByAuthor),
          command("HAKKOU1", "発行所別一覧", Opening::InPlace, windows::ListByPublisher),
          command("BUNYA1", "分野別一覧", Opening::InPlace, windows::ListByCategory),
          command("未読一覧", "未読一覧", Opening::InPlace, windows::UnreadList)}},
        {command("REPIX", "レポート...", Opening::Report),
         {command("MEISAIPR", "明細・ﾚﾎﾟｰﾄ", Opening::Report, windows::Report)}},
        {command("MEIHELP", "ﾍﾙﾌﾟ", Opening::Help),
         {command("HELPMEI", "目次", Opening::Help),
          command("VERDSP", "ﾊﾞｰｼﾞｮﾝ情報", Opening::About)}},
        {command("CLOSE1", "閉じる(&C)", Opening::Close)},
        {command("COLLECTION", "ｺﾚｸｼｮﾝ(&K)", Opening::Alongside),
         {command("SHOUSAIP", "詳細パネル(&D)", Opening::Alongside, windows::BookDetails),
          command("GOJUONI", "50音索引(&I)", Opening::Alongside, windows::KanaIndex),
          command("ISBNKENSAKU", "ISBNで探す(&F)...", Opening::Alongside, windows::IsbnSearch),
          command("ISBNCOPY", "管理番号から ISBN を写す(&N)...", Opening::Action,
                  windows::CopyIsbns),
          command("TANAYOMII", "棚のスキャン(&S)", Opening::Alongside, windows::ShelfScan),
          command("HOSHIII", "欲しい本(&W)", Opening::Alongside, windows::Wishes),
          command("KASHIDASHII", "貸出一覧(&L)", Opening::Alongside, windows::Loans),
          command("TORIKOMII", "ほかの目録から取り込む(&M)...", Opening::Alongside,
                  windows::Import),
          command("SHIRIIZUI", "シリーズと欠けている巻(&V)", Opening::Alongside,
                  windows::SeriesList),
          command("TOUKEII", "統計(&T)", Opening::Alongside, windows::Statistics)}},
    };
}

} // namespace

const QList<Field> &fields() {
    static const QList<Field> all = buildFields();
    return all;
}

const QList<Lookup> &lookups() {
    static const QList<Lookup> all = buildLookups();
    return all;
}

const QList<MenuTitle> &menuBar() {
    static const QList<MenuTitle> all = buildMenuBar();
    return all;
}

} // namespace hondana::registerform
