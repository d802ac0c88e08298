#include "catalogue/BookLoans.h"
#include "catalogue/StoredIsbns.h"
#include "catalogue/StoredReadings.h"
#include "collection/BookDetailsPanel.h"
#include "collection/IndexModels.h"
#include "collection/IsbnSearchWindow.h"
#include "collection/KanaIndexWindow.h"
#include "collection/LoanListModel.h"
#include "collection/LoansWindow.h"
#include "collection/SeriesWindow.h"
#include "db/Connection.h"
#include "db/ConnectionString.h"
#include "db/RecordSet.h"
#include "lookup/LookupSettings.h"
#include "register/BookRegister.h"
#include "register/RegisterFixture.h"
#include "support/DataRows.h"
#include "support/LocalSruServer.h"
#include "widgets/DataNavigator.h"
#include "widgets/DataSource.h"
#include "widgets/WindowRegistry.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace hondana;
using namespace hondana::test;

namespace {

using Origin = StoredReadings::Origin;
using Master = StoredReadings::Master;

// The catalogue's readings or ISBNs, through a connection of the test's own.
template <typename Store> struct Stored {
    Connection connection{CatalogueLinkConnection};
    std::optional<Store> stored;
    Stored() {
        connection.open();
        stored.emplace(connection);
    }
    Store *operator->() { return &*stored; }
};
using Readings = Stored<StoredReadings>;
using Isbns = Stored<StoredIsbns>;
using Loans = Stored<BookLoans>;

qint64 rowIdOfTitle(const RegisterFixture &fixture, const QString &title) {
    return fixture.value(QString("SELECT rowid FROM BOOK WHERE 題名 = '%1'").arg(title))
        .toLongLong();
}

qint64 authorRowId(const RegisterFixture &fixture, int number) {
    return fixture.value(QString("SELECT rowid FROM CHOSHA WHERE 著者NO = %1").arg(number))
        .toLongLong();
}

BookDetailsPanel *openPanel(BookRegister *books) {
    choose(books, "SHOUSAIP");
    auto *panel =
        qobject_cast<BookDetailsPanel *>(RegisterFixture::visibleWindow(BookDetailsPanel::Name));
    return panel && QTest::qWaitForWindowExposed(panel) ? panel : nullptr;
}

KanaIndexWindow *openIndex(BookRegister *books) {
    choose(books, "GOJUONI");
    auto *index =
        qobject_cast<KanaIndexWindow *>(RegisterFixture::visibleWindow(KanaIndexWindow::Name));
    return index && QTest::qWaitForWindowExposed(index) ? index : nullptr;
}

QString currentEntry(KanaIndexWindow *index) {
    auto *view = control<QTableView>(index, "grdEntries");
    return view->currentIndex().siblingAtColumn(0).data().toString();
}

// Key presses carrying `text`, as the input method's committed kana reach a widget.
void typeKana(QWidget *widget, const QString &text) {
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void typeInto(QWidget *window, const char *name, const QString &text) {
    auto *field = control<QLineEdit>(window, name);
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    typeKana(field, text);
}

void typeReading(BookDetailsPanel *panel, const QString &reading) {
    typeInto(panel, "txtReading", reading);
}

// Authors with readings across the 50音 rows (and one with none, which sorts by its name), each
// with books.
void seedAuthors(RegisterFixture &fixture) {
    const struct {
        int number;
        const char *name;
        const char *reading;
        int books;
    } authors[] = {
        {1, "東野圭吾", "ヒガシノ ケイゴ", 3},
        {2, "芥川龍之介", "アクタガワ リュウノスケ", 1},
        {3, "川端康成", "カワバタ ヤスナリ", 2},
        {4, "ガルシア", "ガルシア", 1},
        {5, "山崎豊子", "ヤマザキ トヨコ", 1},
        {6, "和辻哲郎", "ワツジ テツロウ", 1},
        {7, "Zola", "", 1},
        {8, "夏目漱石", "ナツメ ソウセキ", 2},
        {9, "García", "ガルシア", 1},
    };
    Readings readings;
    int seq = 0;
    for (const auto &author : authors) {
        fixture.exec(QString("INSERT INTO CHOSHA (著者NO, 著者名) VALUES (%1, '%2')")
                         .arg(author.number)
                         .arg(QString::fromUtf8(author.name)));
        for (int i = 0; i < author.books; ++i)
            fixture.addBook(QString("%1の本%2").arg(QString::fromUtf8(author.name)).arg(i),
                            author.number, ++seq);
        if (*author.reading)
            readings->setName(Master::Author, authorRowId(fixture, author.number),
                              QString::fromUtf8(author.reading), Origin::Suggested);
    }
}

} // namespace

class CollectionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The panel writes the reading typed for the book it shows whenever the register writes or
    // leaves that book, and then shows the next book's.
    void panelSavesWithTheRegister_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("更新") << "cmdUpdate";
        QTest::newRow("move") << "next";
        QTest::newRow("close") << "close";
        QTest::newRow("panel closed") << "panel";
        QTest::newRow("Escape in the panel") << "escape";
        QTest::newRow("new book, 更新") << "add";
    }
    void panelSavesWithTheRegister() {
        QFETCH(QString, action);
        RegisterFixture fixture;
        fixture.addBook("一の巻", 1, 1);
        fixture.addBook("二の巻", 1, 2);
        BookRegister *books = fixture.openRegister();
        BookDetailsPanel *panel = openPanel(books);
        QVERIFY(panel);
        QCOMPARE(control<QLabel>(panel, "lblTitle")->text(), "一の巻");
        QString title = "一の巻";
        if (action == "add") {
            click(books, "cmdAdd");
            type(books, "txtFields(1)", "新しい巻");
            title = "新しい巻";
        }
        typeReading(panel, "いちのまき");
        typeInto(panel, "txtIsbn", "４-10-101001-3");
        if (action == "next")
            QTest::mouseClick(control(books->navigator(), "cmdMoveNext"), Qt::LeftButton);
        else if (action == "close")
            books->close();
        else if (action == "panel")
            panel->close();
        else if (action == "escape")
            QTest::keyClick(control(panel, "txtReading"), Qt::Key_Escape);
        else
            click(books, "cmdUpdate");
        RegisterFixture::settle();
        QCOMPARE(fixture.messages.texts, QStringList());
        Readings readings;
        const auto stored = readings->title(rowIdOfTitle(fixture, title));
        QVERIFY(stored);
        QCOMPARE(stored->text, "イチノマキ");
        QCOMPARE(stored->origin, Origin::User);
        QCOMPARE(Isbns()->forBook(rowIdOfTitle(fixture, title)).digits(), "9784101010014");
        if (action == "next") {
            QCOMPARE(control<QLabel>(panel, "lblTitle")->text(), "二の巻");
            QCOMPARE(control<QLineEdit>(panel, "txtReading")->text(), "");
            QCOMPARE(control<QLineEdit>(panel, "txtIsbn")->text(), "");
        }
        if (action == "close" || action == "escape")
            QVERIFY(!RegisterFixture::visibleWindow(BookDetailsPanel::Name));
    }

    // Text that is no reading, or a number that is no ISBN, is refused as a field's bad value
    // is, and the register stays; Enter after a scan refuses it at once.
    void panelRefusesWhatItCannotStore_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("enter");
        QTest::addColumn<QString>("said");
        QTest::newRow("kanji as reading") << "txtReading"
                                          << "一の巻" << false << "読み「一の巻」";
        QTest::newRow("price barcode, scanned") << "txtIsbn"
                                                << "1920093008006" << true << "値段";
        QTest::newRow("check digit") << "txtIsbn"
                                     << "4-10-101001-4" << false << "チェックディジット";
    }
    void panelRefusesWhatItCannotStore() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(bool, enter);
        QFETCH(QString, said);
        RegisterFixture fixture;
        fixture.addBook("一の巻", 1, 1);
        fixture.addBook("二の巻", 1, 2);
        BookRegister *books = fixture.openRegister();
        BookDetailsPanel *panel = openPanel(books);
        typeInto(panel, qPrintable(field), typed);
        if (enter) {
            QTest::keyClick(control(panel, qPrintable(field)), Qt::Key_Return);
            QCOMPARE(fixture.messages.texts.size(), 1);
            QVERIFY2(fixture.messages.texts.first().contains(said),
                     qPrintable(fixture.messages.texts.first()));
            fixture.messages.texts.clear();
        }
        QTest::mouseClick(control(books->navigator(), "cmdMoveNext"), Qt::LeftButton);
        QCOMPARE(fixture.messages.texts.size(), 1);
        QVERIFY(fixture.messages.texts.first().startsWith(DataSource::ErrorPrefix));
        QVERIFY2(fixture.messages.texts.first().contains(said),
                 qPrintable(fixture.messages.texts.first()));
        QCOMPARE(books->books()->recordSet().absolutePosition(), 1);
        QVERIFY(!Readings()->title(rowIdOfTitle(fixture, "一の巻")));
        QVERIFY(Isbns()->all().isEmpty());
    }

    // A look-up fills what the user left empty of the register's book, entering the author in
    // the list, and the book is saved as the user saves it; an unknown ISBN fills nothing.
    void lookupFillsTheRegister_data() {
        QTest::addColumn<QString>("isbn");
        QTest::addColumn<QString>("typedTitle");
        QTest::addColumn<QString>("savedTitle"); // empty: nothing found, nothing saved
        QTest::addColumn<QString>("titleReading");
        QTest::newRow("new book") << "9784101010014"
                                  << ""
                                  << "吾輩は猫である"
                                  << "ワガハイ ワ ネコ デ アル";
        QTest::newRow("title typed first") << "9784101010014"
                                           << "猫"
                                           << "猫"
                                           << "";
        QTest::newRow("not found") << "9784796688888"
                                   << ""
                                   << ""
                                   << "";
    }
    void lookupFillsTheRegister() {
        QFETCH(QString, isbn);
        QFETCH(QString, typedTitle);
        QFETCH(QString, savedTitle);
        QFETCH(QString, titleReading);
        RegisterFixture fixture;
        fixture.addBook("一の巻", 1, 1);
        LocalSruServer server;
        server.answer("9784101010014", {LocalSruServer::recorded("sru-found.xml")});
        server.answer("9784796688888", {LocalSruServer::recorded("sru-not-found.xml")});
        qputenv(LookupSettings::AddressVariable, server.address().toUtf8());
        LookupSettings().setConsent(true);
        BookRegister *books = fixture.openRegister();
        BookDetailsPanel *panel = openPanel(books);
        click(books, "cmdAdd");
        if (!typedTitle.isEmpty())
            type(books, "txtFields(1)", typedTitle);
        typeInto(panel, "txtIsbn", isbn);
        click(panel, "cmdLookup");
        QTRY_VERIFY(control(panel, "cmdLookup")->isEnabled());
        if (savedTitle.isEmpty()) {
            QCOMPARE(fixture.messages.texts.size(), 1);
            QVERIFY(fixture.messages.texts.first().contains("見つかりませんでした"));
            QCOMPARE(control<QLineEdit>(books, "txtFields(1)")->text(), "");
            QCOMPARE(fixture.count("CHOSHA"), 0);
            return;
        }
        QCOMPARE(control<QComboBox>(books, "DataCombo1")->currentText(), "夏目 漱石");
        click(books, "cmdUpdate");
        QCOMPARE(fixture.messages.texts, QStringList());
        const qint64 book = rowIdOfTitle(fixture, savedTitle);
        QVERIFY(book > 0);
        QCOMPARE(fixture
                     .value(QString("SELECT 価格 || ' ' || 発行日 || ' ' || 著者名 FROM BOOK "
                                    "JOIN CHOSHA USING (著者NO) WHERE BOOK.rowid = %1")
                                .arg(book))
                     .toString(),
                 "710 2003-06-01 夏目 漱石");
        QCOMPARE(Isbns()->forBook(book).digits(), isbn);
        Readings readings;
        const auto stored = readings->title(book);
        QCOMPARE(stored ? stored->text : QString(), titleReading);
        QCOMPARE(
            readings->name(Master::Author, fixture.value("SELECT rowid FROM CHOSHA").toLongLong())
                ->text,
            "ナツメ ソウセキ");
    }

    // Typed or scanned, an ISBN moves the register to its book (the first of several) and the
    // window says what it found; the window stays for the next scan.
    void findByIsbn_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("title"); // the register's book after it; empty: not moved
        QTest::addColumn<QString>("said");
        QTest::newRow("one book, ISBN-10") << "4-10-101001-3"
                                           << "三の巻"
                                           << "表示しました";
        QTest::newRow("two books, scanned") << "9784800030047"
                                            << "二の巻"
                                            << "2 冊";
        QTest::newRow("none") << "978-4-00-000000-0"
                              << ""
                              << "登録されていません";
        QTest::newRow("price barcode") << "1920093008006"
                                       << ""
                                       << "値段";
    }
    void findByIsbn() {
        QFETCH(QString, typed);
        QFETCH(QString, title);
        QFETCH(QString, said);
        RegisterFixture fixture;
        for (const char *book : {"一の巻", "二の巻", "三の巻", "四の巻"})
            fixture.addBook(book, 1, 1);
        {
            Isbns isbns;
            isbns->store(rowIdOfTitle(fixture, "四の巻"), Isbn::fromText("9784800030047"));
            isbns->store(rowIdOfTitle(fixture, "二の巻"), Isbn::fromText("9784800030047"));
            isbns->store(rowIdOfTitle(fixture, "三の巻"), Isbn::fromText("9784101010014"));
        }
        BookRegister *books = fixture.openRegister();
        const QString first = books->books()->recordSet().value("題名").toString().trimmed();
        choose(books, "ISBNKENSAKU");
        auto *window = qobject_cast<IsbnSearchWindow *>(
            RegisterFixture::visibleWindow(IsbnSearchWindow::Name));
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        typeInto(window, "txtIsbn", typed);
        QTest::keyClick(control(window, "txtIsbn"), Qt::Key_Return);
        RegisterFixture::settle();
        QCOMPARE(books->books()->recordSet().value("題名").toString().trimmed(),
                 title.isEmpty() ? first : title);
        QVERIFY2(control<QLabel>(window, "lblResult")->text().contains(said),
                 qPrintable(control<QLabel>(window, "lblResult")->text()));
        QCOMPARE(fixture.messages.beeps, title.isEmpty() ? 1 : 0);
        QVERIFY(window->isVisible());
    }

    // The menu's copy names the count before it copies, copies into books without an ISBN only,
    // and leaves the number columns as they were.
    void copyIsbnsFromTheMenu_data() {
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("confirmed") << true;
        QTest::newRow("declined") << false;
    }
    void copyIsbnsFromTheMenu() {
        QFETCH(bool, confirmed);
        RegisterFixture fixture;
        for (const char *book : {"一の巻", "二の巻", "三の巻"})
            fixture.addBook(book, 1, 1);
        fixture.exec("UPDATE BOOK SET 管理番号1 = '4-10-101001-3' WHERE 題名 = '一の巻'; "
                     "UPDATE BOOK SET 請求番号 = '978-4-8000-3004-7' WHERE 題名 IN ('二の巻', "
                     "'三の巻')");
        Isbns()->store(rowIdOfTitle(fixture, "三の巻"), Isbn::fromText("9784101010014"));
        BookRegister *books = fixture.openRegister();
        BookDetailsPanel *panel = openPanel(books);
        fixture.messages.answers = {confirmed};
        choose(books, "ISBNCOPY");
        RegisterFixture::settle();
        QVERIFY2(fixture.messages.texts.value(0).startsWith("2 冊"),
                 qPrintable(fixture.messages.texts.value(0)));
        QCOMPARE(fixture.messages.texts.size(), confirmed ? 2 : 1);
        QCOMPARE(fixture.messages.shownBusy, 0);
        QHash<qint64, Isbn> expected = {
            {rowIdOfTitle(fixture, "三の巻"), Isbn::fromText("9784101010014")}};
        if (confirmed) {
            expected.insert(rowIdOfTitle(fixture, "一の巻"), Isbn::fromText("9784101010014"));
            expected.insert(rowIdOfTitle(fixture, "二の巻"), Isbn::fromText("9784800030047"));
        }
        QCOMPARE(Isbns()->all(), expected);
        QCOMPARE(control<QLineEdit>(panel, "txtIsbn")->text(),
                 confirmed ? "978-4-10-101001-4" : "");
        QCOMPARE(fixture
                     .value("SELECT group_concat(ifnull(管理番号1, '') || ifnull(請求番号, ''), "
                            "'|') FROM BOOK")
                     .toString(),
                 "4-10-101001-3|978-4-8000-3004-7|978-4-8000-3004-7");
    }

    // A suggestion is marked until the user confirms it; the fill never touches the user's.
    void suggestionsAreMarkedAndNeverOverwriteTheUsers() {
        RegisterFixture fixture;
        fixture.addBook("こころ", 1, 1);
        fixture.addBook("それから", 1, 2);
        {
            Readings readings;
            readings->setTitle(rowIdOfTitle(fixture, "こころ"), "ココロ", Origin::Suggested);
            readings->setTitle(rowIdOfTitle(fixture, "それから"), "ワタシノヨミ", Origin::User);
            readings->suggestTitles({{rowIdOfTitle(fixture, "それから"), "ソレカラ"}});
        }
        BookRegister *books = fixture.openRegister();
        BookDetailsPanel *panel = openPanel(books);
        auto *state = control<QLabel>(panel, "lblReadingState");
        QCOMPARE(state->text(), BookDetailsPanel::SuggestedMark);
        click(panel, "cmdConfirm");
        QCOMPARE(state->text(), "");
        click(books, "cmdUpdate");
        QTest::mouseClick(control(books->navigator(), "cmdMoveNext"), Qt::LeftButton);
        QCOMPARE(control<QLineEdit>(panel, "txtReading")->text(), "ワタシノヨミ");
        QCOMPARE(state->text(), "");
        Readings readings;
        QCOMPARE(readings->title(rowIdOfTitle(fixture, "こころ"))->origin, Origin::User);
    }

    // The panel's loan line for the register's book, and its buttons: a book lent can be given
    // back, a book not lent can be lent once it is saved.
    void panelShowsTheLoan_data() {
        test::columns<QString, QString>({"loan", "line"});
        test::row("not lent", QString(), QString());
        test::row("lent", QString("2026-11-01"), QString("貸出中: 山田さん (2026/11/01〜)"));
        test::row("lent, past due", QString("2026-11-01 2026-11-15"),
                  QString("貸出中: 山田さん (2026/11/01〜2026/11/15 返却予定) 期限切れ"));
        test::row("new book", QString("new"), QString());
    }
    void panelShowsTheLoan() {
        const QString loan = test::text("loan");
        RegisterFixture fixture;
        fixture.addBook("こころ", 1, 1);
        const QStringList dates = loan.split(' ');
        if (dates[0].startsWith("2026"))
            Loans()->lend(rowIdOfTitle(fixture, "こころ"), "山田",
                          QDate::fromString(dates[0], Qt::ISODate),
                          QDate::fromString(dates.value(1), Qt::ISODate));
        BookRegister *books = fixture.openRegister();
        BookDetailsPanel *panel = openPanel(books);
        if (loan == "new")
            click(books, "cmdAdd");
        QCOMPARE(control<QLabel>(panel, "lblLoan")->text(), test::text("line"));
        QCOMPARE(control(panel, "cmdLend")->isEnabled(), loan.isEmpty());
        QCOMPARE(control(panel, "cmdReturn")->isEnabled(), loan.startsWith("2026"));
        if (!loan.startsWith("2026"))
            return;
        click(panel, "cmdReturn");
        QCOMPARE(control<QLabel>(panel, "lblLoan")->text(), QString());
        QVERIFY(control(panel, "cmdLend")->isEnabled());
        QCOMPARE(Loans()->history().value(0).returnedOn, QDate::currentDate());
    }

    // The window lists the books out, overdue ones marked; a book given back from the list
    // leaves it, stays in the history, and the panel says it is back.
    void loansWindowReturnsFromTheList() {
        RegisterFixture fixture;
        for (const char *book : {"いろは", "こころ", "それから"})
            fixture.addBook(book, 1, 1);
        {
            Loans loans;
            loans->lend(rowIdOfTitle(fixture, "それから"), "佐藤", QDate(2026, 11, 2));
            loans->lend(rowIdOfTitle(fixture, "こころ"), "山田", QDate(2026, 11, 1),
                        QDate(2026, 11, 15));
        }
        BookRegister *books = fixture.openRegister();
        BookDetailsPanel *panel = openPanel(books);
        choose(books, "KASHIDASHII");
        auto *window =
            qobject_cast<LoansWindow *>(RegisterFixture::visibleWindow(LoansWindow::Name));
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        auto *view = control<QTableView>(window, "grdLoans");
        QAbstractItemModelTester tester(view->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        const auto listed = [view] {
            QStringList rows;
            for (int row = 0; row < view->model()->rowCount(); ++row)
                rows << view->model()
                                ->index(row, collection::LoanListModel::TitleColumn)
                                .data()
                                .toString() +
                            "/" +
                            view->model()
                                ->index(row, collection::LoanListModel::StateColumn)
                                .data()
                                .toString();
            return rows;
        };
        QCOMPARE(listed(), QStringList({"こころ/期限切れ", "それから/貸出中"}));
        QTest::keyClick(view, Qt::Key_Home);
        QTest::keyClick(view, Qt::Key_Return);
        RegisterFixture::settle();
        QCOMPARE(books->books()->recordSet().value("題名").toString().trimmed(), "こころ");
        QVERIFY(control<QLabel>(panel, "lblLoan")->text().startsWith("貸出中: 山田さん ("));
        fixture.messages.answers = {true};
        click(window, "cmdReturn");
        QVERIFY2(fixture.messages.texts.value(0).contains("山田"),
                 qPrintable(fixture.messages.texts.value(0)));
        QCOMPARE(listed(), QStringList({"それから/貸出中"}));
        QCOMPARE(control<QLabel>(panel, "lblLoan")->text(), QString());
        click(window, "optHistory");
        QCOMPARE(listed(), QStringList({"こころ/返却済", "それから/貸出中"}));
    }

    void panelIsDisabledWithoutABook() {
        RegisterFixture fixture;
        BookDetailsPanel *panel = openPanel(fixture.openRegister());
        QVERIFY(!control(panel, "txtReading")->isEnabled());
        QVERIFY(!control(panel, "txtIsbn")->isEnabled());
        QVERIFY(!control(panel, "cmdSuggest")->isEnabled());
    }

    // Each row button and typed kana stand on the first entry of their place in the order: a
    // step that is a number presses that row button, any other is kana typed into the list.
    void indexJumps_data() {
        columns<QStringList, QStringList>({"steps", "entries"});
        row("row buttons; ガ with か; 他 a name without reading",
            QStringList{"0", "1", "4", "5", "7", "9", "10"},
            QStringList{"芥川龍之介", "ガルシア", "夏目漱石", "東野圭吾", "山崎豊子", "和辻哲郎",
                        "Zola"});
        row("typed かわ", QStringList{"かわ"}, QStringList{"川端康成"});
        row("typed ひ", QStringList{"ひ"}, QStringList{"東野圭吾"});
        row("typed before the first row", QStringList{"ぁ"}, QStringList{"芥川龍之介"});
        row("typed a whole reading", QStringList{"ひがしの けいご"}, QStringList{"東野圭吾"});
        row("typed the reading of two", QStringList{"がるしあ"}, QStringList{"ガルシア"});
    }
    void indexJumps() {
        const QStringList entries = cell<QStringList>("entries");
        RegisterFixture fixture;
        seedAuthors(fixture);
        KanaIndexWindow *index = openIndex(fixture.openRegister());
        QVERIFY(index);
        control<QTabBar>(index, "tabLists")->setCurrentIndex(1);
        for (int step = 0; const QString &what : cell<QStringList>("steps")) {
            bool isButton = false;
            what.toInt(&isButton);
            if (isButton)
                click(index, QString("cmdRow(%1)").arg(what));
            else
                typeKana(control(index, "grdEntries"), what);
            QCOMPARE(currentEntry(index), entries[step++]);
        }
    }

    // Entries show their number of books; an author's reading edited in place is the user's,
    // moves the entry to its place, and every book of that author shows it.
    void indexEditsAnAuthorsReadingInPlace() {
        RegisterFixture fixture;
        seedAuthors(fixture);
        KanaIndexWindow *index = openIndex(fixture.openRegister());
        control<QTabBar>(index, "tabLists")->setCurrentIndex(1);
        auto *entries = control<QTableView>(index, "grdEntries");
        QAbstractItemModelTester entryTester(entries->model());
        QAbstractItemModelTester bookTester(control<QTableView>(index, "grdBooks")->model());
        click(index, "cmdRow(5)");
        QCOMPARE(currentEntry(index), "東野圭吾");
        QCOMPARE(entries->currentIndex().siblingAtColumn(2).data().toInt(), 3);
        const QModelIndex reading = entries->currentIndex().siblingAtColumn(1);
        QVERIFY(reading.data().toString().endsWith("（候補）"));
        QVERIFY(entries->model()->setData(reading, "とうの けいご"));
        QCOMPARE(Readings()->name(Master::Author, authorRowId(fixture, 1)),
                 (StoredReadings::Reading{"トウノ ケイゴ", Origin::User}));
        click(index, "cmdRow(3)");
        QCOMPARE(currentEntry(index), "東野圭吾");
        auto *bookList = control<QTableView>(index, "grdBooks");
        QCOMPARE(bookList->model()->rowCount(), 3);
        for (int row = 0; row < 3; ++row)
            QCOMPARE(bookList->model()
                         ->index(row, collection::IndexBookModel::AuthorReadingColumn)
                         .data(),
                     "トウノ ケイゴ");
        QVERIFY(!entries->model()->setData(reading, "東野"));
        QCOMPARE(fixture.messages.texts.size(), 1);
    }

    // From the keyboard: Enter on a book, or on an entry of one book, stands the register on it;
    // Enter on an entry of several goes to its books; the arrows go round the row buttons and
    // Space presses one; Escape closes the index and leaves the register where it was.
    void indexFromTheKeyboard_data() {
        columns<int, QString, QList<int>, QString, bool>(
            {"button", "focus", "keys", "title", "closed"});
        row("Enter on a book", 9, "grdBooks", QList<int>{Qt::Key_Return}, "和辻哲郎の本0", false);
        row("Enter on an entry of one book", 9, "grdEntries", QList<int>{Qt::Key_Return},
            "和辻哲郎の本0", false);
        row("Enter on an entry of three, Down, Enter", 5, "grdEntries",
            QList<int>{Qt::Key_Return, Qt::Key_Down, Qt::Key_Return}, "東野圭吾の本1", false);
        row("Left from あ to 他, Space, Enter", -1, "cmdRow(0)",
            QList<int>{Qt::Key_Left, Qt::Key_Space, Qt::Key_Return}, "Zolaの本0", false);
        row("Escape", 9, "grdEntries", QList<int>{Qt::Key_Escape}, "", true);
    }
    void indexFromTheKeyboard() {
        RegisterFixture fixture;
        seedAuthors(fixture);
        BookRegister *books = fixture.openRegister();
        const QString before = books->books()->recordSet().value("題名").toString();
        QPointer<KanaIndexWindow> index = openIndex(books);
        QVERIFY(index);
        control<QTabBar>(index, "tabLists")->setCurrentIndex(1);
        if (const int button = cell<int>("button"); button >= 0)
            click(index, QString("cmdRow(%1)").arg(button));
        control(index, text("focus"))->setFocus();
        for (const int key : cell<QList<int>>("keys"))
            QTest::keyClick(index->focusWidget(), Qt::Key(key));
        RegisterFixture::settle();
        const QString title = text("title");
        QCOMPARE(books->books()->recordSet().value("題名").toString(),
                 title.isEmpty() ? before : title);
        QCOMPARE(index.isNull(), cell<bool>("closed"));
    }

    // The series window lists the titles held in volumes, narrows to those with a gap, opens a
    // volume in the register, and saves the next volume to buy of each as CSV.
    void seriesWindowAnswersWhichVolumeIsMissing() {
        RegisterFixture fixture;
        fixture.exec("INSERT INTO BOOK (題名, SEQNO, 全体NO) VALUES ('ワンピース', 3, 5), "
                     "('ワンピース', 1, 5), ('完結編', 1, 2), ('完結編', 2, 2), ('一冊', 1, NULL)");
        BookRegister *books = fixture.openRegister();
        choose(books, "SHIRIIZUI");
        auto *window =
            qobject_cast<SeriesWindow *>(RegisterFixture::visibleWindow(SeriesWindow::Name));
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        auto *view = control<QTableView>(window, "grdSeries");
        QAbstractItemModelTester tester(view->model());
        QCOMPARE(view->model()->rowCount(), 2);
        control<QCheckBox>(window, "chkIncomplete")->setChecked(true);
        QCOMPARE(view->model()->rowCount(), 1);
        QCOMPARE(view->model()->index(0, 3).data().toString(), QString("2, 4, 5"));
        auto *volumes = control<QListWidget>(window, "lstVolumes");
        volumes->setCurrentRow(1);
        QTest::keyClick(volumes, Qt::Key_Return);
        RegisterFixture::settle();
        QCOMPARE(books->books()->recordSet().currentRowId(), 1);
        QTemporaryDir dir;
        writeCsv(window->nextToBuy(), dir.filePath("next.csv"));
        QFile csv(dir.filePath("next.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(csv.readAll()),
                 QString("\uFEFF題名,次に買う巻,欠けている巻,持っている巻\r\n"
                         "ワンピース,2,\"2, 4, 5\",\"1, 3\"\r\n"));
    }
};

QTEST_MAIN(CollectionTest)
#include "tst_collection.moc"
