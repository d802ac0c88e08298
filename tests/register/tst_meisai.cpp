#include "app/MAINM.h"
#include "app/frmAbout.h"
#include "core/AppState.h"
#include "register/MEISAI.h"
#include "register/RegisterFixture.h"
#include "widgets/BoundTextBox.h"
#include "widgets/DataCombo.h"
#include "widgets/DataNavigator.h"
#include "widgets/DataSource.h"
#include "widgets/HelpWindow.h"
#include "widgets/ProgramEnd.h"
#include "widgets/WindowRegistry.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

using namespace hondana;
using test::click;
using test::control;
using test::RegisterFixture;

namespace {

const QString ErrorPrefix = QStringLiteral("Data error event hit err:");

// Types as the user does (the box learns the text was edited), Japanese text included.
void type(QWidget *form, const QString &field, const QString &text) {
    auto *box = control<QLineEdit>(form, field);
    box->selectAll();
    box->del();
    box->insert(text);
}

QWidget *nextTabStop(QWidget *widget) {
    do {
        widget = widget->nextInFocusChain();
    } while (!(widget->focusPolicy() & Qt::TabFocus) || !widget->isVisible());
    return widget;
}

QAction *menuItem(QWidget *form, const QString &name) {
    for (QAction *action : form->findChildren<QAction *>(name)) {
        if (!action->menu() || name == QLatin1String("CHUUSHU"))
            return action;
    }
    qFatal("no menu item %s", qPrintable(name));
}

QString caption(MEISAI *form) {
    return form->navigator()->caption();
}

} // namespace

class MeisaiTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void showsTheFormAsLaidOut();
    void fieldsCarryTheirColumnsAndHints_data();
    void fieldsCarryTheirColumnsAndHints();
    void menuBarHasNineItems();
    void showsBooksInRegisterOrder();
    void typedInputIsStoredByKind_data();
    void typedInputIsStoredByKind();
    void refusedInputStaysPending_data();
    void refusedInputStaysPending();
    void addNewSavesThePendingChangeFirst();
    void deleteMovesOn_data();
    void deleteMovesOn();
    void copyStartsTheNextVolume();
    void copyWithoutABookAddsNothing();
    void opensScreensUnderTheFlag_data();
    void opensScreensUnderTheFlag();
    void booksStayEditableBesideAScreen();
    void closes_data();
    void closes();
    void closingSavesAPendingChange();
    void closingWithARefusedChangeStays();
    void lookupRereadsOnClick_data();
    void lookupRereadsOnClick();
    void stampsMatchWithoutTrailingBlanks();
    void refusesAnUnadmittedUser();
};

void MeisaiTest::showsTheFormAsLaidOut() {
    RegisterFixture fixture;
    MEISAI *form = fixture.openRegister();
    QVERIFY(form);
    QCOMPARE(form->windowTitle(), QString("蔵書登録"));
    QCOMPARE(form->minimumSize(), form->maximumSize());
    QWidget *client = control(form, "client");
    QCOMPARE(client->size(), QSize(518, 464)); // 7770 × 6960 twips at 96 dpi
    QCOMPARE(client->geometry().bottom(), form->height() - 1);
    QCOMPARE(form->palette().color(QPalette::Window), QColor(192, 192, 255));

    auto *title = control<QLabel>(form, "lblTitle");
    QCOMPARE(title->text(), QString("蔵書登録"));
    QVERIFY(title->font().bold());
    QCOMPARE(title->font().pointSizeF(), 13.5);
    QCOMPARE(title->palette().color(QPalette::WindowText), QColor(0, 128, 0));

    // Navigator along the very bottom, the button bar above it.
    auto *navigator = control<DataNavigator>(form, "datPrimaryRS");
    auto *buttons = control(form, "picButtons");
    QCOMPARE(navigator->geometry(), QRect(0, 440, 518, 24));
    QCOMPARE(buttons->geometry(), QRect(0, 412, 518, 28));
    for (const char *name : {"cmdAdd", "cmdUpdate", "CMDCOPY", "cmdDelete", "cmdClose"})
        QCOMPARE(control(form, name)->size(), QSize(73, 20));
    QCOMPARE(control<QPushButton>(form, "CMDCOPY")->toolTip(),
             QString("新たに同じ題名のデータを作成します"));
    for (int i = 1; i <= 5; ++i)
        QVERIFY(form->findChild<DataSource *>(QString("Adodc%1").arg(i)));

    QCOMPARE(QApplication::focusWidget(), control(form, "txtFields(1)"));

    // Tab order: the fields, then 追加, 更新, 削除, 閉じる, コピー.
    const QStringList order = {
        "txtFields(1)", "txtFields(2)", "txtFields(3)",  "txtFields(4)",  "DataCombo1",
        "DataCombo2",   "txtFields(7)", "txtFields(8)",  "txtFields(9)",  "Text1",
        "Text2",        "DataCombo3",   "DataCombo4",    "DataCombo5",    "Text3",
        "Text4",        "Text5",        "txtFields(18)", "txtFields(19)", "txtFields(20)",
        "cmdAdd",       "cmdUpdate",    "cmdDelete",     "cmdClose",      "CMDCOPY"};
    for (int i = 0; i + 1 < order.size(); ++i)
        QCOMPARE(nextTabStop(control(form, order.at(i)))->objectName(), order.at(i + 1));
}

void MeisaiTest::fieldsCarryTheirColumnsAndHints_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<bool>("required");
    const QString required = "入力必須項目";
    const QString date = "YYYY/MM/DDの形式で入力";
    QTest::newRow("title") << "txtFields(1)"
                           << "題名:"
                           << "題名" << required << true;
    QTest::newRow("series") << "txtFields(2)"
                            << "ｼﾘｰｽﾞ:"
                            << "ｼﾘｰｽﾞ"
                            << "" << false;
    QTest::newRow("running number") << "txtFields(3)"
                                    << "通し番号:"
                                    << "SEQNO"
                                    << "数字で入力、入力必須" << true;
    QTest::newRow("volumes") << "txtFields(4)"
                             << "全体冊数"
                             << "全体NO"
                             << "" << false;
    QTest::newRow("author") << "DataCombo1"
                            << "著者名"
                            << "著者NO" << required << true;
    QTest::newRow("publisher") << "DataCombo2"
                               << "発行所:"
                               << "発行所NO" << required << true;
    QTest::newRow("issued") << "txtFields(7)"
                            << "発行日:"
                            << "発行日" << date << false;
    QTest::newRow("edition") << "txtFields(8)"
                             << "版数:"
                             << "版数"
                             << "" << false;
    QTest::newRow("bought") << "txtFields(9)"
                            << "購入日:"
                            << "購入日" << date << false;
    QTest::newRow("price") << "Text1"
                           << "価格"
                           << "価格"
                           << "" << false;
    QTest::newRow("shop") << "Text2"
                          << "購入先"
                          << "購入先"
                          << "" << false;
    QTest::newRow("category") << "DataCombo3"
                              << "分野:"
                              << "分野NO" << required << true;
    QTest::newRow("size") << "DataCombo4"
                          << "ｻｲｽﾞ:"
                          << "ｻｲｽﾞNO" << required << true;
    QTest::newRow("stamp") << "DataCombo5"
                           << "読書ｽﾀﾝﾌﾟ:"
                           << "読書ｽﾀﾝﾌﾟ"
                           << "" << false;
    QTest::newRow("finished") << "Text3"
                              << "読書完了日"
                              << "読書完了日" << date << false;
    QTest::newRow("rank") << "Text4"
                          << "読感ランク"
                          << "読感ﾗﾝｸ"
                          << "数字でランク付けをする" << false;
    QTest::newRow("call number") << "Text5"
                                 << "請求番号"
                                 << "請求番号"
                                 << "" << false;
    QTest::newRow("number 1") << "txtFields(18)"
                              << "管理番号1:"
                              << "管理番号1"
                              << "" << false;
    QTest::newRow("number 2") << "txtFields(19)"
                              << "管理番号2:"
                              << "管理番号2"
                              << "" << false;
    QTest::newRow("notes") << "txtFields(20)"
                           << "内容:"
                           << "内容"
                           << "" << false;
}

void MeisaiTest::fieldsCarryTheirColumnsAndHints() {
    QFETCH(QString, name);
    QFETCH(QString, label);
    QFETCH(QString, column);
    QFETCH(QString, toolTip);
    QFETCH(bool, required);
    RegisterFixture fixture;
    MEISAI *form = fixture.openRegister();
    QWidget *field = control(form, name);
    QCOMPARE(field->toolTip(), toolTip);
    QString bound;
    if (auto *box = qobject_cast<BoundTextBox *>(field))
        bound = box->field();
    else if (auto *area = qobject_cast<BoundTextArea *>(field))
        bound = area->field();
    else if (auto *combo = qobject_cast<DataCombo *>(field))
        bound = combo->field();
    QCOMPARE(bound, column);

    QLabel *caption = nullptr;
    for (QLabel *candidate : form->findChildren<QLabel *>()) {
        if (candidate->buddy() == field)
            caption = candidate;
    }
    QVERIFY(caption);
    QCOMPARE(caption->text(), label);
    QCOMPARE(caption->font().bold(), required);
    QCOMPARE(caption->autoFillBackground(), required);
    if (required)
        QCOMPARE(caption->palette().color(QPalette::Window), QColor(255, 224, 192));
    QVERIFY(caption->geometry().right() <= field->geometry().left());
}

void MeisaiTest::menuBarHasNineItems() {
    RegisterFixture fixture;
    MEISAI *form = fixture.openRegister();
    auto *bar = control<QMenuBar>(form, "menuBar");
    QStringList captions;
    for (QAction *action : bar->actions())
        captions << action->text();
    QCOMPARE(captions, QStringList({"著者名", "発行所", "分野", "サイズ", "抽出...", "一覧...",
                                    "レポート...", "ﾍﾙﾌﾟ", "閉じる(&C)"}));
    const QList<QPair<QString, QStringList>> dropDowns = {
        {"CHUUSHU", {"題名・抽出", "著者名・抽出", "管理番号・抽出"}},
        {"ICHIRAN", {"著者名別一覧", "発行所別一覧", "分野別一覧", "未読一覧"}},
        {"REPIX", {"明細・ﾚﾎﾟｰﾄ"}},
        {"MEIHELP", {"目次", "ﾊﾞｰｼﾞｮﾝ情報"}},
    };
    for (const auto &[name, items] : dropDowns) {
        QStringList shown;
        for (QAction *action : control<QMenu>(form, name)->actions())
            shown << action->text();
        QCOMPARE(shown, items);
    }
}

void MeisaiTest::showsBooksInRegisterOrder() {
    RegisterFixture fixture;
    fixture.addBook("銀河", 2, 1);
    fixture.addBook("雪国", 1, 2);
    fixture.addBook("雪国", 1, 1);
    fixture.addBook("暗夜", 1, 5);
    MEISAI *form = fixture.openRegister();
    auto *title = control<QLineEdit>(form, "txtFields(1)");
    auto *seqNo = control<QLineEdit>(form, "txtFields(3)");
    QStringList shown;
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(caption(form), QString("Record: %1").arg(i + 1));
        shown << title->text() + seqNo->text();
        QTest::mouseClick(control<QWidget>(form->navigator(), "cmdMoveNext"), Qt::LeftButton);
    }
    QCOMPARE(shown, QStringList({"暗夜5", "雪国1", "雪国2", "銀河1"}));
    QCOMPARE(caption(form), QString("Record: -3")); // after the last book
    QVERIFY(fixture.messages.texts.isEmpty());
}

void MeisaiTest::typedInputIsStoredByKind_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("price with separators") << "Text1"
                                           << "1,500"
                                           << "価格" << QVariant(1500) << "1,500";
    QTest::newRow("price in full-width digits") << "Text1"
                                                << "１，５００"
                                                << "価格" << QVariant(1500) << "1,500";
    QTest::newRow("short date") << "txtFields(9)"
                                << "2024/2/3"
                                << "購入日" << QVariant("2024-02-03") << "2024/02/03";
    QTest::newRow("date without slashes") << "txtFields(7)"
                                          << "２０２４０２２９"
                                          << "発行日" << QVariant("2024-02-29") << "2024/02/29";
    QTest::newRow("running number") << "txtFields(3)"
                                    << "12"
                                    << "SEQNO" << QVariant(12) << "12";
    QTest::newRow("empty means null") << "Text4"
                                      << ""
                                      << "読感ﾗﾝｸ" << QVariant() << "";
    QTest::newRow("japanese title") << "txtFields(1)"
                                    << "ﾃｽﾄ本　上"
                                    << "題名" << QVariant("ﾃｽﾄ本　上") << "ﾃｽﾄ本　上";
}

void MeisaiTest::typedInputIsStoredByKind() {
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, column);
    QFETCH(QVariant, stored);
    QFETCH(QString, shown);
    RegisterFixture fixture;
    fixture.exec("INSERT INTO BOOK (題名, SEQNO, 読感ﾗﾝｸ) VALUES ('元', 1, 3)");
    MEISAI *form = fixture.openRegister();
    type(form, field, typed);
    click(form, "cmdUpdate");
    auto *box = control<QLineEdit>(form, field);

    QCOMPARE(fixture.messages.texts, QStringList());
    const QVariant value = fixture.scalar(QString("SELECT \"%1\" FROM BOOK").arg(column));
    QCOMPARE(value.isNull(), stored.isNull());
    if (!stored.isNull())
        QCOMPARE(value.toString(), stored.toString());
    QCOMPARE(box->text(), shown);
}

void MeisaiTest::refusedInputStaysPending_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byNavigator");
    QTest::newRow("impossible date") << "txtFields(9)"
                                     << "2024/02/30" << false;
    QTest::newRow("number in a date field") << "txtFields(7)"
                                            << "12345" << false;
    QTest::newRow("text in a number field") << "Text1"
                                            << "千円" << false;
    QTest::newRow("title wider than its column")
        << "txtFields(1)" << QString(26, QChar(0x3042)) << false;
    QTest::newRow("character outside code page 932") << "Text2"
                                                     << "Café" << false;
    QTest::newRow("number beyond 32 bits") << "txtFields(3)"
                                           << "3000000000" << true;
    QTest::newRow("impossible date, navigator") << "Text3"
                                                << "2023/13/01" << true;
}

void MeisaiTest::refusedInputStaysPending() {
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(bool, byNavigator);
    RegisterFixture fixture;
    fixture.addBook("一", 1, 1);
    fixture.addBook("二", 1, 2);
    MEISAI *form = fixture.openRegister();
    type(form, field, typed);
    if (byNavigator)
        QTest::mouseClick(control<QWidget>(form->navigator(), "cmdMoveNext"), Qt::LeftButton);
    else
        click(form, "cmdUpdate");

    QCOMPARE(fixture.messages.texts.size(), 1);
    QVERIFY2(fixture.messages.texts.first().startsWith(ErrorPrefix),
             qPrintable(fixture.messages.texts.first()));
    QVERIFY(fixture.messages.texts.first().size() > ErrorPrefix.size());
    QCOMPARE(fixture.messages.titles.first(), QString());
    QCOMPARE(control<QLineEdit>(form, field)->text(), typed);
    QCOMPARE(caption(form), QString("Record: 1"));
    QCOMPARE(fixture
                 .scalar("SELECT count(*) FROM BOOK WHERE 題名 = '一' AND SEQNO = 1 AND "
                         "購入日 IS NULL AND 価格 IS NULL AND 購入先 IS NULL")
                 .toInt(),
             1);
}

void MeisaiTest::addNewSavesThePendingChangeFirst() {
    RegisterFixture fixture;
    fixture.addBook("一", 1, 1);
    MEISAI *form = fixture.openRegister();
    type(form, "txtFields(1)", "改");
    click(form, "cmdAdd");
    QCOMPARE(fixture.scalar("SELECT 題名 FROM BOOK").toString(), QString("改"));
    QCOMPARE(caption(form), QString("Record: 2"));
    for (const char *name : {"txtFields(1)", "txtFields(3)", "Text1", "txtFields(9)"})
        QCOMPARE(control<QLineEdit>(form, name)->text(), QString());
    QCOMPARE(control<QComboBox>(form, "DataCombo1")->currentIndex(), -1);

    type(form, "txtFields(1)", "新");
    type(form, "txtFields(3)", "7");
    click(form, "cmdUpdate");
    QCOMPARE(fixture.count("BOOK"), 2);
    QCOMPARE(fixture.scalar("SELECT SEQNO FROM BOOK WHERE 題名 = '新'").toInt(), 7);

    // A refused change is not saved by 追加 and no new book is started.
    type(form, "txtFields(9)", "2024/02/30");
    click(form, "cmdAdd");
    QCOMPARE(fixture.messages.texts.size(), 1);
    QVERIFY(fixture.messages.texts.first().startsWith(ErrorPrefix));
    QCOMPARE(caption(form), QString("Record: 2"));
    QCOMPARE(control<QLineEdit>(form, "txtFields(1)")->text(), QString("新"));
    QCOMPARE(fixture.count("BOOK"), 2);
    QVERIFY(fixture.scalar("SELECT 購入日 FROM BOOK WHERE 題名 = '新'").isNull());
}

void MeisaiTest::deleteMovesOn_data() {
    QTest::addColumn<int>("books");
    QTest::addColumn<int>("deleteAt");
    QTest::addColumn<QString>("captionAfter");
    QTest::addColumn<QString>("titleAfter");
    QTest::addColumn<bool>("messageShown");
    QTest::newRow("first of three") << 3 << 1 << "Record: 1"
                                    << "本2" << false;
    QTest::newRow("middle of three") << 3 << 2 << "Record: 2"
                                     << "本3" << false;
    QTest::newRow("last of three") << 3 << 3 << "Record: 2"
                                   << "本2" << false;
    QTest::newRow("only book") << 1 << 1 << "no current book"
                               << "" << true;
    QTest::newRow("empty catalogue") << 0 << 0 << "Record: -1"
                                     << "" << true;
}

void MeisaiTest::deleteMovesOn() {
    QFETCH(int, books);
    QFETCH(int, deleteAt);
    QFETCH(QString, captionAfter);
    QFETCH(QString, titleAfter);
    QFETCH(bool, messageShown);
    RegisterFixture fixture;
    for (int i = 1; i <= books; ++i)
        fixture.addBook(QString("本%1").arg(i), 1, i);
    MEISAI *form = fixture.openRegister();
    const QString captionBefore = caption(form);
    for (int i = 1; i < deleteAt; ++i)
        form->books()->moveNext();
    click(form, "cmdDelete");

    QCOMPARE(fixture.count("BOOK"), qMax(books - 1, 0));
    QCOMPARE(control<QLineEdit>(form, "txtFields(1)")->text(), titleAfter);
    QCOMPARE(fixture.messages.texts.size(), messageShown ? 1 : 0);
    if (books == 0) {
        QCOMPARE(fixture.messages.texts.first(), MEISAI::NoBookToDelete);
        QCOMPARE(caption(form), captionBefore);
    } else if (captionAfter == "no current book") {
        // The record set's own code for a place without a book.
        const int position = form->books()->recordSet().absolutePosition();
        QVERIFY(position < 0);
        QCOMPARE(caption(form), QString("Record: %1").arg(position));
    } else {
        QCOMPARE(caption(form), captionAfter);
    }
}

void MeisaiTest::copyStartsTheNextVolume() {
    RegisterFixture fixture;
    fixture.addAuthor(40000, "紫式部");
    fixture.exec("INSERT INTO BOOK (題名, 著者NO, 全体NO, SEQNO, ｼﾘｰｽﾞ, 価格) "
                 "VALUES ('源氏物語', 40000, 54, 1, '一', 2000)");
    MEISAI *form = fixture.openRegister();
    QCOMPARE(control<QComboBox>(form, "DataCombo1")->currentText(), QString("紫式部"));
    click(form, "CMDCOPY");

    QCOMPARE(fixture.messages.texts, QStringList());
    QCOMPARE(caption(form), QString("Record: 2"));
    QCOMPARE(control<QLineEdit>(form, "txtFields(1)")->text(), QString("源氏物語"));
    QCOMPARE(control<QLineEdit>(form, "txtFields(4)")->text(), QString("54"));
    QCOMPARE(control<QLineEdit>(form, "txtFields(3)")->text(), QString());
    QCOMPARE(control<QLineEdit>(form, "txtFields(2)")->text(), QString());
    QCOMPARE(control<QLineEdit>(form, "Text1")->text(), QString());
    QCOMPARE(control<QComboBox>(form, "DataCombo1")->currentText(), QString("紫式部"));
    QCOMPARE(fixture.count("BOOK"), 1);

    type(form, "txtFields(3)", "2");
    type(form, "txtFields(2)", "二");
    click(form, "cmdUpdate");
    QCOMPARE(fixture.scalar("SELECT 著者NO FROM BOOK WHERE SEQNO = 2").toInt(), 40000);
}

void MeisaiTest::copyWithoutABookAddsNothing() {
    RegisterFixture fixture;
    MEISAI *form = fixture.openRegister();
    click(form, "CMDCOPY");
    QCOMPARE(fixture.messages.texts.size(), 1);
    QVERIFY(!fixture.messages.texts.first().startsWith(ErrorPrefix));
    QCOMPARE(fixture.messages.titles.first(), QString());
    QCOMPARE(fixture.count("BOOK"), 0);
    QCOMPARE(form->books()->recordSet().recordCount(), 0);
}

void MeisaiTest::opensScreensUnderTheFlag_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("flagBefore");
    QTest::addColumn<int>("books");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<int>("flagAfter");
    QTest::addColumn<bool>("registerShown");
    QTest::newRow("author editor") << "CHOSHA" << 0 << 1 << "CHOSHA" << 1 << true;
    QTest::newRow("publisher editor") << "HAKKOU" << 0 << 1 << "HAKKO" << 1 << true;
    QTest::newRow("category editor") << "BUNYA" << 0 << 0 << "BUNYA" << 1 << true;
    QTest::newRow("size editor") << "SAIZU" << 0 << 1 << "SAIZU" << 1 << true;
    QTest::newRow("editor while a screen is open") << "CHOSHA" << 1 << 1 << "" << 1 << true;
    QTest::newRow("title search") << "DAIMEIQ" << 0 << 1 << "DAIMEIQ" << 1 << true;
    QTest::newRow("author-name search") << "CHOSHAQ" << 0 << 0 << "CHOSHAQ" << 1 << true;
    QTest::newRow("number search") << "KANRIQ" << 0 << 1 << "KANRIQ" << 1 << true;
    QTest::newRow("search while a screen is open") << "KANRIQ" << 1 << 1 << "" << 1 << true;
    QTest::newRow("list by author") << "CHOSHA1" << 0 << 1 << "CHOSHA2" << 1 << false;
    QTest::newRow("list by publisher") << "HAKKOU1" << 0 << 1 << "HAKKO2" << 1 << false;
    QTest::newRow("list by category") << "BUNYA1" << 0 << 1 << "BUNYA2" << 1 << false;
    QTest::newRow("unread list") << "未読一覧" << 0 << 1 << "MIDOKU" << 1 << false;
    QTest::newRow("list of an empty catalogue") << "BUNYA1" << 0 << 0 << "" << 0 << true;
    QTest::newRow("list while a screen is open") << "未読一覧" << 1 << 1 << "" << 1 << true;
    QTest::newRow("report") << "MEISAIPR" << 0 << 1 << "MEIPR" << 0 << true;
    QTest::newRow("report while a screen is open") << "MEISAIPR" << 1 << 1 << "" << 1 << true;
    QTest::newRow("about box while a screen is open")
        << "VERDSP" << 1 << 1 << frmAbout::Name << 1 << true;
    QTest::newRow("help while a screen is open")
        << "HELPMEI" << 1 << 1 << HelpWindow::Name << 1 << true;
}

void MeisaiTest::opensScreensUnderTheFlag() {
    QFETCH(QString, item);
    QFETCH(int, flagBefore);
    QFETCH(int, books);
    QFETCH(QString, opened);
    QFETCH(int, flagAfter);
    QFETCH(bool, registerShown);
    RegisterFixture fixture;
    for (int i = 1; i <= books; ++i)
        fixture.addBook("本", 1, i);
    MEISAI *form = fixture.openRegister();
    const QWidgetList before = QApplication::topLevelWidgets();
    AppState::instance().subWindowFlag = qint16(flagBefore);

    menuItem(form, item)->trigger();

    QStringList newWindows;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && !before.contains(window) && window->objectName() != MAINM::Name)
            newWindows << window->objectName();
    }
    QCOMPARE(newWindows, opened.isEmpty() ? QStringList() : QStringList{opened});
    QCOMPARE(int(AppState::instance().subWindowFlag), flagAfter);
    QCOMPARE(form->isVisible(), registerShown);
    QVERIFY(fixture.messages.texts.isEmpty());
    QVERIFY(!RegisterFixture::visibleWindow(MAINM::Name));
}

void MeisaiTest::booksStayEditableBesideAScreen() {
    RegisterFixture fixture;
    fixture.addBook("本", 1, 1);
    MEISAI *form = fixture.openRegister();
    menuItem(form, "CHOSHA")->trigger();
    QVERIFY(RegisterFixture::visibleWindow("CHOSHA"));
    QCOMPARE(int(AppState::instance().subWindowFlag), 1);

    type(form, "txtFields(1)", "改題");
    click(form, "cmdUpdate");
    QCOMPARE(fixture.scalar("SELECT 題名 FROM BOOK").toString(), QString("改題"));
    click(form, "CMDCOPY");
    QCOMPARE(caption(form), QString("Record: 2"));
    QCOMPARE(control<QLineEdit>(form, "txtFields(1)")->text(), QString("改題"));
    QVERIFY(fixture.messages.texts.isEmpty());
    QCOMPARE(int(AppState::instance().subWindowFlag), 1);
}

void MeisaiTest::closes_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("flag");
    QTest::addColumn<bool>("registerStays");
    QTest::addColumn<bool>("mainMenuShown");
    QTest::newRow("button") << "button" << 0 << false << true;
    QTest::newRow("button while a screen is open") << "button" << 1 << true << false;
    QTest::newRow("menu item") << "menu" << 0 << false << true;
    QTest::newRow("menu item while a screen is open") << "menu" << 1 << true << true;
    QTest::newRow("close box") << "box" << 0 << false << true;
    QTest::newRow("close box while a screen is open") << "box" << 1 << true << false;
}

void MeisaiTest::closes() {
    QFETCH(QString, how);
    QFETCH(int, flag);
    QFETCH(bool, registerStays);
    QFETCH(bool, mainMenuShown);
    RegisterFixture fixture;
    fixture.addBook("本", 1, 1);
    QPointer<MEISAI> form = fixture.openRegister();
    AppState::instance().subWindowFlag = qint16(flag);
    QSignalSpy quit(qApp, &QGuiApplication::lastWindowClosed);

    if (how == "button")
        click(form, "cmdClose");
    else if (how == "menu")
        menuItem(form, "CLOSE1")->trigger();
    else
        QVERIFY(form->close() == registerStays ? false : true);
    RegisterFixture::settle();

    QCOMPARE(!form.isNull() && form->isVisible(), registerStays);
    QCOMPARE(form.isNull(), !registerStays);
    QCOMPARE(RegisterFixture::visibleWindow(MAINM::Name) != nullptr, mainMenuShown);
    QCOMPARE(quit.count(), 0);
    QVERIFY(fixture.messages.texts.isEmpty());
}

void MeisaiTest::closingSavesAPendingChange() {
    RegisterFixture fixture;
    fixture.addBook("本", 1, 1);
    QPointer<MEISAI> form = fixture.openRegister();
    type(form, "txtFields(1)", "改題");
    type(form, "Text1", "980");
    QVERIFY(form->close());
    RegisterFixture::settle();
    QVERIFY(form.isNull());
    QCOMPARE(fixture.scalar("SELECT 題名 || '/' || 価格 FROM BOOK").toString(),
             QString("改題/980"));
    QVERIFY(fixture.messages.texts.isEmpty());

    // Opened again, it reads the books afresh and stands on the first.
    form = fixture.openRegister();
    QCOMPARE(control<QLineEdit>(form, "txtFields(1)")->text(), QString("改題"));
    QCOMPARE(caption(form), QString("Record: 1"));
}

void MeisaiTest::closingWithARefusedChangeStays() {
    RegisterFixture fixture;
    fixture.addBook("本", 1, 1);
    QPointer<MEISAI> form = fixture.openRegister();
    type(form, "txtFields(7)", "2023/02/29");
    QVERIFY(!form->close());
    RegisterFixture::settle();
    QVERIFY(!form.isNull() && form->isVisible());
    QCOMPARE(fixture.messages.texts.size(), 1);
    QVERIFY(fixture.messages.texts.first().startsWith(ErrorPrefix));
    QCOMPARE(control<QLineEdit>(form, "txtFields(7)")->text(), QString("2023/02/29"));
    QVERIFY(!RegisterFixture::visibleWindow(MAINM::Name));

    // Put right, the register closes and keeps the change.
    type(form, "txtFields(7)", "2023/02/28");
    QVERIFY(form->close());
    QCOMPARE(fixture.scalar("SELECT 発行日 FROM BOOK").toString(), QString("2023-02-28"));
}

void MeisaiTest::lookupRereadsOnClick_data() {
    QTest::addColumn<QString>("combo");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("insert");
    QTest::addColumn<bool>("emptyAtOpen");
    QTest::addColumn<int>("itemsAfterClick");
    const QString author = "INSERT INTO CHOSHA (著者NO, 著者名) VALUES (%1, '著者%1')";
    const QString publisher = "INSERT INTO HAKKOU (発行所NO, 発行所) VALUES (%1, '社%1')";
    const QString category = "INSERT INTO BUNYA (分野NO, 分野名) VALUES (%1, '分野%1')";
    const QString size = "INSERT INTO SAIZU (ｻｲｽﾞNO, ｻｲｽﾞ名) VALUES (%1, '判%1')";
    QTest::newRow("authors") << "DataCombo1"
                             << "CHOSHA" << author << false << 2;
    QTest::newRow("publishers") << "DataCombo2"
                                << "HAKKOU" << publisher << false << 2;
    QTest::newRow("categories") << "DataCombo3"
                                << "BUNYA" << category << false << 2;
    QTest::newRow("sizes") << "DataCombo4"
                           << "SAIZU" << size << false << 2;
    QTest::newRow("authors empty at open") << "DataCombo1"
                                           << "CHOSHA" << author << true << 0;
    QTest::newRow("sizes empty at open") << "DataCombo4"
                                         << "SAIZU" << size << true << 0;
}

void MeisaiTest::lookupRereadsOnClick() {
    QFETCH(QString, combo);
    QFETCH(QString, table);
    QFETCH(QString, insert);
    QFETCH(bool, emptyAtOpen);
    QFETCH(int, itemsAfterClick);
    RegisterFixture fixture;
    if (!emptyAtOpen)
        fixture.exec(insert.arg(1));
    MEISAI *form = fixture.openRegister();
    auto *lookup = control<QComboBox>(form, combo);
    QCOMPARE(lookup->count(), emptyAtOpen ? 0 : 1);

    fixture.exec(insert.arg(2));
    QCOMPARE(lookup->count(), emptyAtOpen ? 0 : 1); // nothing re-reads by itself
    QTest::mouseClick(lookup, Qt::LeftButton);
    lookup->hidePopup();
    QCOMPARE(lookup->count(), itemsAfterClick);
    if (itemsAfterClick > 0)
        QVERIFY(lookup->itemText(1).endsWith("2"));
    QVERIFY(fixture.messages.texts.isEmpty());
}

void MeisaiTest::stampsMatchWithoutTrailingBlanks() {
    RegisterFixture fixture;
    fixture.exec("INSERT INTO BOOK (題名, SEQNO, 読書ｽﾀﾝﾌﾟ) VALUES ('本', 1, '未  ')");
    MEISAI *form = fixture.openRegister();
    auto *stamp = control<QComboBox>(form, "DataCombo5");
    QCOMPARE(stamp->currentText(), QString("未"));
    const int done = stamp->findText("済");
    QVERIFY(done >= 0);
    stamp->setCurrentIndex(done);
    Q_EMIT stamp->activated(done);
    click(form, "cmdUpdate");
    QCOMPARE(fixture.scalar("SELECT 読書ｽﾀﾝﾌﾟ FROM BOOK").toString(), QString("済"));
}

void MeisaiTest::refusesAnUnadmittedUser() {
    RegisterFixture fixture;
    AppState::instance().admission = AppState::Admission::Pending;
    setEventLoopExit([] {});
    QVERIFY(!WindowRegistry::instance().show(MEISAI::Name));
    QVERIFY(programEnded());
    QVERIFY(!RegisterFixture::visibleWindow(MEISAI::Name));
}

QTEST_MAIN(MeisaiTest)
#include "tst_meisai.moc"
