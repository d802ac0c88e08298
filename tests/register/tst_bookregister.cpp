#include "app/MainMenu.h"
#include "catalogue/WishList.h"
#include "core/AppState.h"
#include "db/Connection.h"
#include "db/RecordSet.h"
#include "masters/MasterEditor.h"
#include "register/BookRegister.h"
#include "register/RegisterFixture.h"
#include "support/DataRows.h"
#include "widgets/DataNavigator.h"
#include "widgets/ProgramEnd.h"
#include "widgets/RecordCommands.h"
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

    // A text field typed into, saved by 更新, read back from its column and shown in its
    // display form; and whether the Japanese input method is on in it.
    void fieldRoundTrips_data() {
        columns<QString, QString, QString, QString, QString, bool>(
            {"field", "typed", "column", "stored", "shown", "inputMethod"});
        row("title", "txtFields(1)", "ﾃｽﾄ本　上", "題名", "ﾃｽﾄ本　上", "ﾃｽﾄ本　上", true);
        row("series", "txtFields(2)", "上", "ｼﾘｰｽﾞ", "上", "上", true);
        row("number", "txtFields(3)", "１２", "SEQNO", "12", "12", false);
        row("volumes", "txtFields(4)", "1,000", "全体NO", "1000", "1,000", false);
        row("published", "txtFields(7)", "２０２４０２２９", "発行日", "2024-02-29", "2024/02/29",
            false);
        row("edition", "txtFields(8)", "2", "版数", "2", "2", false);
        row("bought", "txtFields(9)", "2024/2/3", "購入日", "2024-02-03", "2024/02/03", false);
        row("price", "Text1", "１，５００", "価格", "1500", "1,500", false);
        row("shop", "Text2", "古書店", "購入先", "古書店", "古書店", true);
        row("read", "Text3", "2024-3-1", "読書完了日", "2024-03-01", "2024/03/01", false);
        row("rank", "Text4", "0", "読感ﾗﾝｸ", "0", "0", false);
        row("call number", "Text5", "913.6", "請求番号", "913.6", "913.6", true);
        row("number 1", "txtFields(18)", "A-1", "管理番号1", "A-1", "A-1", true);
        row("number 2", "txtFields(19)", "B-2", "管理番号2", "B-2", "B-2", true);
        row("notes", "txtFields(20)", "一行目", "内容", "一行目", "一行目", true);
    }

    void fieldRoundTrips() {
        RegisterFixture fixture;
        fixture.addBook("元", 1, 1);
        BookRegister *form = fixture.openRegister();
        QWidget *field = control(form, text("field"));
        QCOMPARE(field->testAttribute(Qt::WA_InputMethodEnabled), cell<bool>("inputMethod"));
        if (auto *notes = qobject_cast<QPlainTextEdit *>(field))
            notes->setPlainText(text("typed"));
        else
            type(form, text("field"), text("typed"));
        click(form, "cmdUpdate");
        QCOMPARE(fixture.messages.texts, QStringList());
        QCOMPARE(fixture.value("SELECT " + text("column") + " FROM BOOK").toString(),
                 text("stored"));
        QCOMPARE(textOf(form, text("field")), text("shown"));
    }

    // A value its column cannot take is reported once, by whichever command meets it first
    // (更新, a move, 追加, コピー); the text stays pending in its field, nothing is written and
    // the register stays on the book.
    void refusedInputStopsTheCommand_data() {
        columns<QString, QString, QString>({"field", "typed", "command"});
        row("no such day", "txtFields(9)", "2024/02/30", "cmdUpdate");
        row("no number", "Text1", "千円", "cmdMoveNext");
        row("outside the code page", "Text2", "Café", "cmdAdd");
        row("beyond 32 bits", "Text4", "3000000000", "CMDCOPY");
        row("title too long", "txtFields(1)", QString(26, QChar(u'あ')), "cmdUpdate");
    }

    void refusedInputStopsTheCommand() {
        RegisterFixture fixture;
        fixture.addBook("元", 1, 1);
        fixture.addBook("次", 1, 2);
        BookRegister *form = fixture.openRegister();
        type(form, text("field"), text("typed"));
        click(form, text("command")); // the navigator's buttons are the register's too
        QCOMPARE(fixture.messages.texts.size(), 1);
        QVERIFY(fixture.messages.texts.first().startsWith(ErrorPrefix + "「"));
        QCOMPARE(fixture.messages.titles, QStringList{QString()});
        QCOMPARE(textOf(form, text("field")), text("typed"));
        QCOMPARE(caption(form), QString("Record: 1"));
        QCOMPARE(fixture.count("BOOK WHERE coalesce(購入日, 価格, 購入先, 読感ﾗﾝｸ) IS NULL"), 2);
    }

    // A restored title carries the blanks the backup padded it with: they are not shown, do not
    // count against the width, and stay as stored unless the user changes the title. A value
    // wider than its box shows from its beginning, a number with its leading digits.
    void paddedTextIsTheUsersToLengthen_data() {
        columns<QString, QString, QString>({"retyped", "appended", "stored"});
        const QString padded = "こころ" + QString(44, ' ');
        row("lengthened", QString(), "だ", "こころだ");
        row("retyped as shown", "こころ", QString(), padded);
    }

    void paddedTextIsTheUsersToLengthen() {
        RegisterFixture fixture;
        fixture.exec("INSERT INTO BOOK (題名, SEQNO) VALUES ('こころ' || printf('%44s', ''), "
                     "1790017)");
        BookRegister *form = fixture.openRegister();
        auto *title = control<QLineEdit>(form, "txtFields(1)");
        QCOMPARE(title->text(), QString("こころ"));
        QCOMPARE(textOf(form, "txtFields(3)"), QString("1,790,017"));
        QCOMPARE(control<QLineEdit>(form, "txtFields(3)")->cursorPosition(), 0);
        if (!text("retyped").isNull())
            type(form, "txtFields(1)", text("retyped"));
        title->end(false);
        title->insert(text("appended")); // where the user's cursor lands after the text
        type(form, "Text1", "1");
        click(form, "cmdUpdate");
        QCOMPARE(fixture.messages.texts, QStringList());
        QCOMPARE(fixture.value("SELECT 題名 FROM BOOK").toString(), text("stored"));
    }

    // With no current book the fields take no typing, so nothing typed can be lost or trap
    // the commands; 追加 starts a book with the focus in its title, and 閉じる closes.
    void noBookTakesNoTyping_data() {
        columns<bool, QString, QString>({"book", "step", "position"});
        row("empty catalogue", false, QString(), "Record: -1");
        row("past the last", true, "cmdMoveNext", "Record: -3");
        row("before the first", true, "cmdMovePrevious", "Record: -2");
        row("only book deleted", true, "cmdDelete", "Record: -3");
    }

    void noBookTakesNoTyping() {
        RegisterFixture fixture;
        if (cell<bool>("book"))
            fixture.addBook("本", 1, 1);
        QPointer<BookRegister> form = fixture.openRegister();
        if (!text("step").isEmpty())
            click(form, text("step"));
        QCOMPARE(caption(form), text("position"));
        const qsizetype said = fixture.messages.texts.size();
        auto *title = control<QLineEdit>(form, "txtFields(1)");
        title->setFocus();
        QTest::keyClicks(title, "Lost");
        QCOMPARE(title->text(), QString());
        click(form, "cmdUpdate");
        click(form, "cmdAdd");
        QCOMPARE(QApplication::focusWidget(), title);
        QTest::keyClicks(QApplication::focusWidget(), "New");
        click(form, "cmdUpdate");
        QCOMPARE(fixture.count("BOOK WHERE 題名 = 'New'"), 1);
        click(form, "cmdClose");
        RegisterFixture::settle();
        QVERIFY(form.isNull());
        QCOMPARE(fixture.messages.texts.size(), said);
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
    }

    // Deleting stands on the book that followed, or on the new last one; with no book left
    // the final move fails, and with none at all the register says so.
    void deleteMovesOn() {
        RegisterFixture fixture;
        for (int i = 1; i <= 3; ++i)
            fixture.addBook(QString("本%1").arg(i), 1, i);
        BookRegister *form = fixture.openRegister();
        form->books()->moveTo(2);
        for (const char *step : {"本3|Record: 2", "本1|Record: 1", "|Record: -3", "|Record: -3"}) {
            click(form, "cmdDelete");
            QCOMPARE(textOf(form, "txtFields(1)") + '|' + caption(form), QString(step));
        }
        QCOMPARE(fixture.count("BOOK"), 0);
        QCOMPARE(fixture.messages.texts.size(), 2);
        QCOMPARE(fixture.messages.texts.last(), BookRegister::NoBookToDelete);
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
        QVERIFY(fixture.messages.texts.isEmpty());
    }

    // A new book the catalogue holds already is saved only when the user says so; saying no
    // keeps it on screen, unsaved. The question names the book held.
    void ownedBookIsAskedAbout_data() {
        columns<bool, int>({"addAnyway", "books"});
        row("a deliberate second copy", true, 2);
        row("declined", false, 1);
    }
    void ownedBookIsAskedAbout() {
        RegisterFixture fixture;
        fixture.addBook("坊っちゃん", 1, 1);
        BookRegister *form = fixture.openRegister();
        fixture.messages.answers << cell<bool>("addAnyway");
        click(form, "cmdAdd");
        type(form, "txtFields(1)", "坊っちゃん");
        type(form, "txtFields(3)", "1");
        form->books()->recordSet().setValue("著者NO", 1);
        click(form, "cmdUpdate");
        QCOMPARE(fixture.count("BOOK"), cell<int>("books"));
        QVERIFY(fixture.messages.texts.value(0).contains("「坊っちゃん」"));
        QCOMPARE(fixture.messages.texts.size(), 1);
        QCOMPARE(form->books()->recordSet().currentRowId() == 0, !cell<bool>("addAnyway"));
    }

    // A new book that fulfils a wish is offered to the wish list however it is written: by
    // 更新, by starting the next book, by closing the register.
    void newBookIsOfferedToTheWishList_data() {
        columns<QString>({"how"});
        row("update", "cmdUpdate");
        row("add next", "cmdAdd");
        row("close", "cmdClose");
    }
    void newBookIsOfferedToTheWishList() {
        RegisterFixture fixture;
        fixture.addBook("こころ", 1, 1);
        {
            Connection connection(QStringLiteral("Data Source=TOSHO.MDB;"), fixture.folder.path());
            connection.open();
            Wish wish;
            wish.title = "坊っちゃん";
            WishList(connection).add(wish);
        }
        QPointer<BookRegister> form = fixture.openRegister();
        click(form, "cmdAdd");
        type(form, "txtFields(1)", "坊っちゃん");
        fixture.messages.answers << true;
        click(form, text("how"));
        RegisterFixture::settle();
        QCOMPARE(fixture.count("BOOK"), 2);
        QCOMPARE(fixture.messages.texts.size(), 1);
        QVERIFY(fixture.messages.texts.first().contains("「坊っちゃん」"));
        QCOMPARE(fixture.count("wish"), 0);
        if (form)
            form->close();
    }

    // Each lookup shows the name of the stored number (a stamp: the stamp) and a pick stores it.
    void lookupsShowAndStore() {
        RegisterFixture fixture;
        fixture.exec("INSERT INTO CHOSHA (著者NO, 著者名) VALUES (40000, '紫式部');"
                     "INSERT INTO HAKKOU (発行所NO, 発行所) VALUES (2, '岩波書店');"
                     "INSERT INTO BUNYA (分野NO, 分野名) VALUES (3, '文学');"
                     "INSERT INTO SAIZU (ｻｲｽﾞNO, ｻｲｽﾞ名) VALUES (4, '文庫');"
                     "INSERT INTO BOOK (題名, SEQNO, 著者NO, 読書ｽﾀﾝﾌﾟ) VALUES ('一', 1, 40000, "
                     "'未  '), ('二', 2, 99999, '*'), ('三', 3, NULL, NULL)");
        BookRegister *form = fixture.openRegister(); // on 三, the book without an author
        const QStringList combos =
            QString("DataCombo1 DataCombo2 DataCombo3 DataCombo4 DataCombo5").split(' ');
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
        for (const char *row : {"紫式部||||未", "||||*"}) {
            click(form, "cmdMoveNext");
            QStringList shown;
            for (const QString &name : combos)
                shown << textOf(form, name);
            QCOMPARE(shown.join('|'), QString(row));
        }
        click(form,
              "cmdMoveNext"); // a pick with no current book is refused through the error event
        Q_EMIT control<QComboBox>(form, "DataCombo1")->activated(0);
        QCOMPARE(fixture.messages.texts.size(), 1);
        QVERIFY(fixture.messages.texts.first().startsWith(ErrorPrefix));
    }

    // A click re-reads a master list, also one that was empty when the register opened; the
    // stamps are read once. `insert` takes the new row's number.
    void lookupRereadsOnClick_data() {
        columns<QString, QString, bool, bool>({"combo", "insert", "filledAtOpen", "rereads"});
        const QString author = "INSERT INTO CHOSHA (著者NO, 著者名) VALUES (%1, '著者%1')";
        const QString size = "INSERT INTO SAIZU (ｻｲｽﾞNO, ｻｲｽﾞ名) VALUES (%1, '版%1')";
        row("authors", "DataCombo1", author, true, true);
        row("authors, none at open", "DataCombo1", author, false, true);
        row("publishers", "DataCombo2", "INSERT INTO HAKKOU (発行所NO, 発行所) VALUES (%1, '社%1')",
            true, true);
        row("sizes, none at open", "DataCombo4", size, false, true);
        row("stamps", "DataCombo5", "INSERT INTO DSTMP (STMPID) VALUES ('再%1')", true, false);
    }

    void lookupRereadsOnClick() {
        RegisterFixture fixture;
        if (cell<bool>("filledAtOpen"))
            fixture.exec(text("insert").arg(1));
        auto *box = control<QComboBox>(fixture.openRegister(), text("combo"));
        const int before = box->count();
        fixture.exec(text("insert").arg(2));
        QTest::mouseClick(box, Qt::LeftButton);
        box->hidePopup();
        QCOMPARE(box->count(), before + int(cell<bool>("rereads")));
    }

    // One screen at a time under the sub-window flag: beside the register, or instead of it.
    // Escape closes the real windows among them.
    void opensScreensUnderTheFlag_data() {
        columns<QString, int, bool, QString, int, bool>(
            {"item", "flag", "books", "opens", "flagAfter", "registerShown"});
        row("editor", "CHOSHA", 0, true, "CHOSHA", 1, true);
        row("search, no book", "DAIMEIQ", 0, false, "DAIMEIQ", 1, true);
        row("author search", "CHOSHAQ", 0, true, "CHOSHAQ", 1, true);
        row("number search", "KANRIQ", 0, true, "KANRIQ", 1, true);
        row("author list", "CHOSHA1", 0, true, "CHOSHA2", 1, false);
        row("publisher list", "HAKKOU1", 0, true, "HAKKO2", 1, false);
        row("category list", "BUNYA1", 0, true, "BUNYA2", 1, false);
        row("unread list", "未読一覧", 0, true, "MIDOKU", 1, false);
        row("list, no book", "BUNYA1", 0, false, "-", 0, true);
        row("list, flag set", "未読一覧", 1, true, "-", 1, true);
        row("report", "MEISAIPR", 0, true, "MEIPR", 0, true);
        row("report, flag set", "MEISAIPR", 1, true, "-", 1, true);
        row("about box", "VERDSP", 1, true, "frmAbout", 1, true);
        row("help", "HELPMEI", 1, true, "HelpWindow", 1, true);
    }

    void opensScreensUnderTheFlag() {
        RegisterFixture fixture;
        if (cell<bool>("books"))
            fixture.addBook("本", 1, 1);
        BookRegister *form = fixture.openRegister();
        const QWidgetList before = QApplication::topLevelWidgets();
        AppState::instance().subWindowFlag = qint16(cell<int>("flag"));
        choose(form, text("item"));
        QStringList opened;
        QPointer<QWidget> window;
        for (QWidget *candidate : QApplication::topLevelWidgets())
            if (candidate->isVisible() && !before.contains(candidate))
                opened << (window = candidate)->objectName();
        QCOMPARE(opened.isEmpty() ? QString("-") : opened.join(','), text("opens"));
        QCOMPARE(int(AppState::instance().subWindowFlag), cell<int>("flagAfter"));
        QCOMPARE(form->isVisible(), cell<bool>("registerShown"));
        QVERIFY(fixture.messages.texts.isEmpty());
        if (window && window->objectName() == "CHOSHA") { // beside an editor books stay editable
            type(form, "txtFields(1)", "改題");
            click(form, "cmdUpdate");
            QCOMPARE(fixture.value("SELECT 題名 FROM BOOK").toString(), QString("改題"));
        }
        if (QStringList{"CHOSHA", "frmAbout", "HelpWindow"}.contains(text("opens"))) {
            QTest::keyClick(window, Qt::Key_Escape);
            RegisterFixture::settle();
            QVERIFY(!window || !window->isVisible());
        }
    }

    // The register stays while a screen it opened is open; else it goes, by its button, its
    // menu item, the title bar or Escape, and the main menu comes back (the menu item shows it
    // even when the register stays). What was typed is written first; a change that cannot be
    // written (`answer`: the user's answer, "" when a change is written) is dropped only when
    // the user says so. With no record set open there is nothing to save: it closes.
    void closes_data() {
        columns<QString, int, bool, QString, bool, bool, QString>(
            {"how", "flag", "linkFile", "answer", "stays", "menuShown", "title"});
        row("button", "button", 0, true, "", false, true, "改題");
        row("menu", "menu", 0, true, "", false, true, "改題");
        row("menu, flag set", "menu", 1, true, "", true, true, "本");
        row("box", "box", 0, true, "", false, true, "改題");
        row("box, flag set", "box", 1, true, "", true, false, "本");
        row("refused change kept", "button", 0, true, "no", true, false, "本");
        row("refused change dropped", "escape", 0, true, "yes", false, true, "本");
        row("no catalogue", "box", 0, false, "", false, true, "");
    }

    void closes() {
        const bool linkFile = cell<bool>("linkFile");
        RegisterFixture fixture;
        fixture.addBook("本", 1, 1);
        if (!linkFile)
            QVERIFY(QFile::remove(fixture.folder.filePath("Karobu.udl")));
        QPointer<BookRegister> form = fixture.openRegister();
        AppState::instance().subWindowFlag = qint16(cell<int>("flag"));
        if (linkFile)
            type(form, "txtFields(1)", "改題");
        if (!text("answer").isEmpty()) {
            type(form, "txtFields(9)", "2024/02/30");
            fixture.messages.answers << (text("answer") == "yes");
        }
        QSignalSpy quit(qApp, &QGuiApplication::lastWindowClosed);
        if (text("how") == "button")
            click(form, "cmdClose");
        else if (text("how") == "menu")
            choose(form, "CLOSE1");
        else if (text("how") == "escape")
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        else
            form->close();
        RegisterFixture::settle();
        QCOMPARE(!form.isNull(), cell<bool>("stays"));
        QCOMPARE(bool(RegisterFixture::visibleWindow(MainMenu::Name)), cell<bool>("menuShown"));
        QCOMPARE(quit.count(), 0);
        QStringList said = fixture.messages.texts;
        if (!said.isEmpty()) // the refusal (or the failed open) by its kind, then the question
            said.first() = said.first().left(ErrorPrefix.size());
        QStringList expected;
        if (!linkFile || !text("answer").isEmpty())
            expected << ErrorPrefix;
        if (!text("answer").isEmpty())
            expected << DropChangeQuestion;
        QCOMPARE(said, expected);
        if (linkFile)
            QCOMPARE(fixture.value("SELECT 題名 FROM BOOK").toString(), text("title"));
        if (form && linkFile) // what stays is still there to correct
            QCOMPARE(textOf(form, "txtFields(1)"), QString("改題"));
    }

    // What a screen reader finds: every control named by its caption or label, lookups by
    // their label rather than the entry shown, and one navigator (the lookup lists have none).
    void everyControlHasAnAccessibleName() {
        RegisterFixture fixture;
        fixture.exec("INSERT INTO HAKKOU (発行所NO, 発行所) VALUES (1, '岩波書店');"
                     "INSERT INTO BOOK (題名, 発行所NO) VALUES ('本', 1)");
        QWidget *menu = WindowRegistry::instance().window(MainMenu::Name);
        BookRegister *form = fixture.openRegister();
        MasterEditor *editor = fixture.openEditor("CHOSHA", "CHOSHA");
        for (QWidget *window : QWidgetList{menu, form, editor}) {
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
