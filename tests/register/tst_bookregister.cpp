#include "app/AboutBox.h"
#include "app/MainMenu.h"
#include "core/AppState.h"
#include "db/RecordSet.h"
#include "masters/MasterEditor.h"
#include "register/BookRegister.h"
#include "register/RegisterFixture.h"
#include "widgets/DataNavigator.h"
#include "widgets/HelpWindow.h"
#include "widgets/ProgramEnd.h"
#include "widgets/WindowRegistry.h"

#include <QAccessible>
#include <QtTest>

using namespace hondana;
using namespace hondana::test;

namespace {

const QString ErrorPrefix = "Data error event hit err:";

QString caption(BookRegister *form) {
    return form->navigator()->caption();
}

void moveNext(BookRegister *form) {
    QTest::mouseClick(control(form->navigator(), "cmdMoveNext"), Qt::LeftButton);
}

QString spoken(QWidget *widget, QAccessible::Text what = QAccessible::Name) {
    return QAccessible::queryAccessibleInterface(widget)->text(what);
}

// What a field shows; for a lookup, what a screen reader hears as its value.
QString textOf(BookRegister *form, const QString &name) {
    QWidget *field = control(form, name);
    if (auto *notes = qobject_cast<QPlainTextEdit *>(field))
        return notes->toPlainText();
    if (auto *box = qobject_cast<QLineEdit *>(field))
        return box->text();
    return spoken(field, QAccessible::Value);
}

} // namespace

class BookRegisterTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void showsItsTexts() {
        RegisterFixture fixture;
        BookRegister *form = fixture.openRegister();
        QCOMPARE(form->windowTitle(), QString("蔵書登録"));
        QStringList shown;
        for (int i = 1; i <= 20; ++i)
            shown << control<QLabel>(form, QString("lblLabels(%1)").arg(i))->text();
        for (const char *name : {"lblTitle", "lblHint"})
            shown << control<QLabel>(form, name)->text();
        for (const char *name : {"cmdAdd", "cmdUpdate", "CMDCOPY", "cmdDelete", "cmdClose"})
            shown << control<QPushButton>(form, name)->text();
        for (QAction *title : control<QMenuBar>(form, "menuBar")->actions()) {
            shown << title->text();
            for (QAction *item : title->menu() ? title->menu()->actions() : QList<QAction *>())
                shown << item->text();
        }
        QCOMPARE(
            shown.join('|'),
            QString(
                "題名:|ｼﾘｰｽﾞ:|通し番号:|全体冊数|著者名|発行所:|発行日:|版数:|購入日:|価格|"
                "購入先|分野:|ｻｲｽﾞ:|読書ｽﾀﾝﾌﾟ:|読書完了日|読感ランク|請求番号|管理番号1:|"
                "管理番号2:|内容:|蔵書登録|（上、下、１，２、・・等）|追加(&A)|更新(&U)|"
                "コピー(&O)|削除(&D)|閉じる(&C)|著者名|発行所|分野|サイズ|抽出...|"
                "題名・抽出|著者名・抽出|管理番号・抽出|一覧...|著者名別一覧|発行所別一覧|"
                "分野別一覧|未読一覧|レポート...|明細・ﾚﾎﾟｰﾄ|ﾍﾙﾌﾟ|目次|ﾊﾞｰｼﾞｮﾝ情報|閉じる(&C)"));
        QStringList toolTips;
        for (const char *name : {"txtFields(1)", "txtFields(3)", "DataCombo1", "DataCombo4",
                                 "txtFields(7)", "Text3", "Text4", "CMDCOPY"})
            toolTips << control(form, name)->toolTip();
        QCOMPARE(toolTips.join('|'),
                 QString("入力必須項目|数字で入力、入力必須|入力必須項目|入力必須項目|"
                         "YYYY/MM/DDの形式で入力|YYYY/MM/DDの形式で入力|数字でランク付けをする|"
                         "新たに同じ題名のデータを作成します"));
    }

    void startsOnTheTitleAndTabsInOrder() {
        RegisterFixture fixture;
        BookRegister *form = fixture.openRegister();
        QCOMPARE(QApplication::focusWidget(), control(form, "txtFields(1)"));
        const QStringList order =
            QString("txtFields(1) txtFields(2) txtFields(3) txtFields(4) DataCombo1 DataCombo2 "
                    "txtFields(7) txtFields(8) txtFields(9) Text1 Text2 DataCombo3 DataCombo4 "
                    "DataCombo5 Text3 Text4 Text5 txtFields(18) txtFields(19) txtFields(20) cmdAdd "
                    "cmdUpdate cmdDelete cmdClose CMDCOPY")
                .split(' ');
        for (int i = 0; i + 1 < order.size(); ++i) {
            QWidget *next = control(form, order.at(i));
            do
                next = next->nextInFocusChain();
            while (!(next->focusPolicy() & Qt::TabFocus) || !next->isVisible());
            QCOMPARE(next->objectName(), order.at(i + 1));
        }
    }

    // Every text field typed into, saved by 更新 and read back from its column, then shown in its
    // display form; and whether the Japanese input method is on in it. Each row: field, typed,
    // column, stored, shown, input method.
    void everyFieldRoundTrips() {
        RegisterFixture fixture;
        fixture.addBook("元", 1, 1);
        BookRegister *form = fixture.openRegister();
        const QStringList rows =
            QString(
                "txtFields(1)|ﾃｽﾄ本　上|題名|ﾃｽﾄ本　上|ﾃｽﾄ本　上|1;txtFields(2)|上|ｼﾘｰｽﾞ|上|上|1;"
                "txtFields(3)|１２|SEQNO|12|12|0;txtFields(4)|1,000|全体NO|1000|1,000|0;"
                "txtFields(7)|２０２４０２２９|発行日|2024-02-29|2024/02/29|0;"
                "txtFields(8)|2|版数|2|2|0;txtFields(9)|2024/2/3|購入日|2024-02-03|2024/02/03|0;"
                "Text1|１，５００|価格|1500|1,500|0;Text2|古書店|購入先|古書店|古書店|1;"
                "Text3|2024-3-1|読書完了日|2024-03-01|2024/03/01|0;Text4|0|読感ﾗﾝｸ|0|0|0;"
                "Text5|913.6|請求番号|913.6|913.6|1;txtFields(18)|A-1|管理番号1|A-1|A-1|1;"
                "txtFields(19)|B-2|管理番号2|B-2|B-2|1;txtFields(20)|一行目|内容|一行目|一行目|1")
                .split(';');
        for (const QString &row : rows) {
            const QStringList cell = row.split('|');
            QWidget *box = control(form, cell[0]);
            QCOMPARE(box->testAttribute(Qt::WA_InputMethodEnabled), cell[5] == "1");
            if (auto *notes = qobject_cast<QPlainTextEdit *>(box))
                notes->setPlainText(cell[1]);
            else
                type(form, cell[0], cell[1]);
        }
        click(form, "cmdUpdate");
        QCOMPARE(fixture.messages.texts, QStringList());
        for (const QString &row : rows) {
            const QStringList cell = row.split('|');
            QCOMPARE(fixture.value("SELECT " + cell[2] + " FROM BOOK").toString(), cell[3]);
            QCOMPARE(textOf(form, cell[0]), cell[4]);
        }
    }

    // A value its column cannot take is reported once, by 更新 or by a move, and the text stays
    // pending in its field; nothing is written. Each row: field, typed, by the navigator.
    void refusedInputStaysPending() {
        for (const QString row :
             {"txtFields(9)|2024/02/30|0", "Text1|千円|1", "Text2|Café|0", "Text4|3000000000|1",
              "txtFields(1)|ああああああああああああああああああああああああああ|0"}) {
            const QStringList cell = row.split('|');
            RegisterFixture fixture;
            fixture.addBook("元", 1, 1);
            fixture.addBook("次", 1, 2);
            BookRegister *form = fixture.openRegister();
            type(form, cell[0], cell[1]);
            if (cell[2] == "1")
                moveNext(form);
            else
                click(form, "cmdUpdate");
            QCOMPARE(fixture.messages.texts.size(), 1);
            QVERIFY(fixture.messages.texts.first().startsWith(ErrorPrefix + "「"));
            QCOMPARE(fixture.messages.titles, QStringList{QString()});
            QCOMPARE(textOf(form, cell[0]), cell[1]);
            QCOMPARE(caption(form), QString("Record: 1"));
            QCOMPARE(fixture.count("BOOK WHERE coalesce(購入日, 価格, 購入先, 読感ﾗﾝｸ) IS NULL "
                                   "AND 題名 IN ('元', '次')"),
                     2);
        }
    }

    void addNewSavesThePendingChangeFirst() {
        RegisterFixture fixture;
        fixture.addBook("一", 1, 1);
        BookRegister *form = fixture.openRegister();
        // Leaving a field hands its text over; refused text waits silently for the next write.
        for (const char *typed : {"9,999", "x"}) {
            control(form, "Text1")->setFocus();
            type(form, "Text1", typed);
            control(form, "Text2")->setFocus();
            QTRY_VERIFY(!control(form, "Text1")->hasFocus());
        }
        QCOMPARE(form->books()->recordSet().value("価格").toInt(), 9999);
        QCOMPARE(textOf(form, "Text1"), QString("x"));
        QVERIFY(fixture.messages.texts.isEmpty());
        form->books()->recordSet().cancelUpdate();
        type(form, "txtFields(1)", "改");
        click(form, "cmdAdd");
        QCOMPARE(fixture.value("SELECT 題名 FROM BOOK").toString(), QString("改"));
        QCOMPARE(caption(form), QString("Record: 2"));
        for (const char *name : {"txtFields(1)", "txtFields(3)", "Text1", "DataCombo1"})
            QCOMPARE(textOf(form, name), QString());
        type(form, "txtFields(1)", "新");
        type(form, "txtFields(3)", "7");
        type(form, "txtFields(9)", "2024/02/30"); // refused: no new book is started
        click(form, "cmdAdd");
        QCOMPARE(fixture.messages.texts.size(), 1);
        QCOMPARE(caption(form), QString("Record: 2"));
        type(form, "txtFields(9)", "");
        click(form, "cmdUpdate");
        QCOMPARE(fixture.value("SELECT SEQNO FROM BOOK WHERE 題名 = '新'").toInt(), 7);
    }

    // Deleting stands on the book that followed, or on the new last one; with no book left
    // the final move fails, and with none at all the register says so.
    void deleteMovesOn() {
        RegisterFixture fixture;
        for (int i = 1; i <= 3; ++i)
            fixture.addBook(QString("本%1").arg(i), 1, i);
        BookRegister *form = fixture.openRegister();
        const QStringList steps = {"本3|Record: 2", "本1|Record: 1", "|Record: -3", "|Record: -3"};
        form->books()->moveTo(2);
        for (const QString &step : steps) {
            click(form, "cmdDelete");
            QCOMPARE(textOf(form, "txtFields(1)") + '|' + caption(form), step);
        }
        QCOMPARE(fixture.count("BOOK"), 0);
        QCOMPARE(fixture.messages.texts.size(), 2);
        QCOMPARE(fixture.messages.texts.last(),
                 QString("削除する蔵書がありません（蔵書はまだ1冊も登録されていません）。"));
        click(form, "CMDCOPY"); // no book to copy: said plainly, nothing added
        QCOMPARE(fixture.messages.texts.size(), 3);
        QVERIFY(!fixture.messages.texts.last().startsWith(ErrorPrefix));
        QCOMPARE(form->books()->recordSet().recordCount(), 0);
    }

    // The next volume carries the book's shared data only, and waits to be saved.
    void copyStartsTheNextVolume() {
        RegisterFixture fixture;
        fixture.exec("INSERT INTO CHOSHA (著者NO, 著者名) VALUES (40000, '紫式部');"
                     "INSERT INTO BOOK VALUES (1, 2, '上', 'A-1', 'B-1', '2020-04-01', 54, "
                     "'源氏物語', 40000, '済', 'メモ', 3, '2019-01-10', 2, 7, 1500, '古書店', "
                     "'C-1', '2020-05-01', 4)");
        BookRegister *form = fixture.openRegister();
        type(form, "txtFields(9)", "2024/02/30"); // a refused change starts no copy
        click(form, "CMDCOPY");
        QCOMPARE(caption(form), QString("Record: 1"));
        type(form, "txtFields(9)", "2020/04/01");
        click(form, "CMDCOPY");
        QCOMPARE(caption(form), QString("Record: 2"));
        QCOMPARE(textOf(form, "DataCombo1"), QString("紫式部"));
        const RecordSet &set = form->books()->recordSet();
        const QStringList shared = {"著者NO", "発行所NO", "全体NO", "分野NO", "ｻｲｽﾞNO", "題名"};
        for (const QString &column : set.fieldNames()) {
            const QVariant original = set.valueAt(0, set.fieldIndex(column));
            QCOMPARE(set.value(column).toString(),
                     shared.contains(column) ? original.toString() : QString());
        }
        click(form, "CMDCOPY"); // copying again saves the first copy, without its number
        QCOMPARE(fixture.count("BOOK"), 2);
        type(form, "txtFields(3)", "3");
        click(form, "cmdUpdate");
        QCOMPARE(fixture.value("SELECT group_concat(ifnull(SEQNO, '-')) FROM BOOK").toString(),
                 QString("1,-,3"));
        QCOMPARE(fixture.messages.texts.size(), 1);
    }

    // Each lookup shows the name of the stored number (a stamp: the stamp) and a pick stores
    // it; the four master lists re-read on a click, the stamps never.
    void lookupsShowStoreAndReread() {
        RegisterFixture fixture;
        fixture.exec("INSERT INTO CHOSHA (著者NO, 著者名) VALUES (40000, '紫式部');"
                     "INSERT INTO HAKKOU (発行所NO, 発行所) VALUES (2, '岩波書店');"
                     "INSERT INTO BUNYA (分野NO, 分野名) VALUES (3, '文学');"
                     "INSERT INTO SAIZU (ｻｲｽﾞNO, ｻｲｽﾞ名) VALUES (4, '文庫');"
                     "INSERT INTO BOOK (題名, SEQNO, 著者NO, 読書ｽﾀﾝﾌﾟ) VALUES ('一', 1, 40000, "
                     "'未  '), ('二', 2, 99999, '*'), ('三', 3, NULL, NULL)");
        BookRegister *form = fixture.openRegister(); // on 三, the book without an author
        const QStringList combos = {"DataCombo1", "DataCombo2", "DataCombo3", "DataCombo4",
                                    "DataCombo5"};
        for (const QString &name : combos) {
            auto *combo = control<QComboBox>(form, name);
            const int entry = name == "DataCombo5" ? combo->findText("済") : 0;
            combo->setCurrentIndex(entry);
            Q_EMIT combo->activated(entry);
        }
        click(form, "cmdUpdate");
        QCOMPARE(fixture
                     .value("SELECT 著者NO || 発行所NO || 分野NO || ｻｲｽﾞNO || 読書ｽﾀﾝﾌﾟ "
                            "FROM BOOK WHERE SEQNO = 3")
                     .toString(),
                 QString("40000234済"));
        // By author number (none first); a stamp with trailing blanks is that stamp, one the
        // list lacks shows as stored.
        const QStringList shown[] = {{"紫式部", "", "", "", "未"}, {"", "", "", "", "*"}};
        for (const QStringList &row : shown) {
            moveNext(form);
            for (int i = 0; i < combos.size(); ++i)
                QCOMPARE(textOf(form, combos.at(i)), row.at(i));
        }
        QCOMPARE(caption(form), QString("Record: 3"));
        moveNext(form); // a pick with no current book is refused through the error event
        Q_EMIT control<QComboBox>(form, "DataCombo1")->activated(0);
        QCOMPARE(fixture.messages.texts.size(), 1);
        QVERIFY(fixture.messages.texts.first().startsWith(ErrorPrefix));

        fixture.exec("INSERT INTO CHOSHA (著者NO, 著者名) VALUES (5, '清少納言');"
                     "INSERT INTO HAKKOU (発行所NO, 発行所) VALUES (5, '新潮社');"
                     "INSERT INTO BUNYA (分野NO, 分野名) VALUES (5, '歴史');"
                     "INSERT INTO SAIZU (ｻｲｽﾞNO, ｻｲｽﾞ名) VALUES (5, '新書');"
                     "INSERT INTO DSTMP (STMPID) VALUES ('再')");
        for (const QString &name : combos) {
            auto *combo = control<QComboBox>(form, name);
            const int before = combo->count();
            QTest::mouseClick(combo, Qt::LeftButton);
            combo->hidePopup();
            QCOMPARE(combo->count(), name == "DataCombo5" ? before : before + 1);
        }
    }

    // One screen at a time under the sub-window flag: beside the register, or instead of it.
    // Each row: menu item, flag before, books, the window that opens (- none), flag after,
    // whether the register stays shown.
    void opensScreensUnderTheFlag() {
        for (const QString row :
             {"CHOSHA 0 1 CHOSHA 1 1", "CHOSHA 1 1 - 1 1", "DAIMEIQ 0 0 DAIMEIQ 1 1",
              "CHOSHAQ 0 1 CHOSHAQ 1 1", "KANRIQ 0 1 KANRIQ 1 1", "KANRIQ 1 1 - 1 1",
              "CHOSHA1 0 1 CHOSHA2 1 0", "HAKKOU1 0 1 HAKKO2 1 0", "BUNYA1 0 1 BUNYA2 1 0",
              "未読一覧 0 1 MIDOKU 1 0", "BUNYA1 0 0 - 0 1", "未読一覧 1 1 - 1 1",
              "MEISAIPR 0 1 MEIPR 0 1", "MEISAIPR 1 1 - 1 1", "VERDSP 1 1 frmAbout 1 1",
              "HELPMEI 1 1 HelpWindow 1 1"}) {
            const QStringList cell = row.split(' ');
            RegisterFixture fixture;
            if (cell[2] == "1")
                fixture.addBook("本", 1, 1);
            BookRegister *form = fixture.openRegister();
            const QWidgetList before = QApplication::topLevelWidgets();
            AppState::instance().subWindowFlag = qint16(cell[1].toInt());
            choose(form, cell[0]);
            QString opened = "-";
            for (QWidget *window : QApplication::topLevelWidgets()) {
                if (window->isVisible() && !before.contains(window))
                    opened = opened == "-" ? window->objectName() : "more than one";
            }
            const int flag = AppState::instance().subWindowFlag;
            QCOMPARE(QStringList({cell[0], cell[1], cell[2], opened, QString::number(flag),
                                  QString::number(form->isVisible())}),
                     cell);
            QVERIFY(fixture.messages.texts.isEmpty());
            if (opened == "CHOSHA") { // beside an editor the books stay editable
                type(form, "txtFields(1)", "改題");
                click(form, "cmdUpdate");
                QCOMPARE(fixture.value("SELECT 題名 FROM BOOK").toString(), QString("改題"));
            }
        }
    }

    // The register stays while a screen it opened is open; else it goes, by its button, its
    // menu item or the title bar, and the main menu comes back (the menu item shows it even
    // when the register stays). With no record set open there is nothing to save: it closes.
    // Each row: how, flag, whether the link file is there, register stays, main menu shown.
    void closes() {
        for (const QString row :
             {"button 0 1 0 1", "button 1 1 1 0", "menu 0 1 0 1", "menu 1 1 1 1", "box 0 1 0 1",
              "box 1 1 1 0", "button 0 0 0 1", "box 0 0 0 1"}) {
            const QStringList cell = row.split(' ');
            const bool linkFile = cell[2] == "1";
            RegisterFixture fixture;
            fixture.addBook("本", 1, 1);
            if (!linkFile)
                QVERIFY(QFile::remove(fixture.folder.filePath("Karobu.udl")));
            QPointer<BookRegister> form = fixture.openRegister();
            QCOMPARE(form->books()->recordSet().isOpen(), linkFile);
            AppState::instance().subWindowFlag = qint16(cell[1].toInt());
            if (linkFile)
                type(form, "txtFields(1)", "改題"); // closing writes what was typed
            QSignalSpy quit(qApp, &QGuiApplication::lastWindowClosed);
            if (cell[0] == "button")
                click(form, "cmdClose");
            else if (cell[0] == "menu")
                choose(form, "CLOSE1");
            else
                form->close();
            RegisterFixture::settle();
            const bool menuShown = RegisterFixture::visibleWindow(MainMenu::Name);
            QCOMPARE(QStringList({cell[0], cell[1], cell[2], QString::number(!form.isNull()),
                                  QString::number(menuShown)}),
                     cell);
            QCOMPARE(quit.count(), 0);
            QCOMPARE(fixture.messages.texts.size(), linkFile ? 0 : 1); // the failed open, once
            if (form.isNull() && linkFile)
                QCOMPARE(fixture.value("SELECT 題名 FROM BOOK").toString(), QString("改題"));
        }
    }

    // What a screen reader finds: every control named by its caption or label, lookups by
    // their label rather than the entry shown, and one navigator (the lookup lists have none).
    void everyControlHasAnAccessibleName() {
        RegisterFixture fixture;
        fixture.exec("INSERT INTO HAKKOU (発行所NO, 発行所) VALUES (1, '岩波書店')");
        fixture.exec("INSERT INTO BOOK (題名, 発行所NO) VALUES ('本', 1)");
        QWidget *menu = WindowRegistry::instance().window(MainMenu::Name);
        BookRegister *form = fixture.openRegister();
        MasterEditor *editor = fixture.openEditor("CHOSHA", "CHOSHA");
        for (QWidget *window :
             {menu, static_cast<QWidget *>(form), static_cast<QWidget *>(editor)}) {
            for (QWidget *widget : window->findChildren<QWidget *>()) {
                bool isControl =
                    widget->isVisibleTo(window) &&
                    (qobject_cast<QAbstractButton *>(widget) || qobject_cast<QLineEdit *>(widget) ||
                     qobject_cast<QComboBox *>(widget) ||
                     qobject_cast<QAbstractScrollArea *>(widget) ||
                     qobject_cast<DataNavigator *>(widget));
                for (QWidget *up = widget->parentWidget(); up != window; up = up->parentWidget())
                    isControl = isControl && !qobject_cast<QAbstractItemView *>(up); // grid inside
                if (isControl)
                    QVERIFY2(!spoken(widget).isEmpty(), qPrintable(widget->objectName()));
            }
        }
        QCOMPARE(spoken(control(form, "DataCombo2")), QString("発行所"));
        QCOMPARE(spoken(control(form, "DataCombo2"), QAccessible::Value), QString("岩波書店"));
        QCOMPARE(form->findChildren<DataNavigator *>().size(), 1);
    }

    void refusesAnUnadmittedUser() {
        RegisterFixture fixture;
        AppState::instance().admission = AppState::Admission::Pending;
        QVERIFY(!WindowRegistry::instance().show(BookRegister::Name));
        QVERIFY(programEnded());
    }
};

QTEST_MAIN(BookRegisterTest)
#include "tst_bookregister.moc"
