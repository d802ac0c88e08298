#include "catalogue/StoredReadings.h"
#include "collection/BookDetailsPanel.h"
#include "collection/IndexModels.h"
#include "collection/KanaIndexWindow.h"
#include "db/Connection.h"
#include "db/ConnectionString.h"
#include "db/RecordSet.h"
#include "register/BookRegister.h"
#include "register/RegisterFixture.h"
#include "widgets/DataNavigator.h"
#include "widgets/DataSource.h"
#include "widgets/WindowRegistry.h"

#include <QAbstractItemModelTester>
#include <QTabBar>
#include <QTableView>
#include <QtTest>

using namespace hondana;
using namespace hondana::test;

namespace {

using Origin = StoredReadings::Origin;
using Master = StoredReadings::Master;

// The catalogue's readings, through a connection of the test's own.
struct Readings {
    Connection connection{CatalogueLinkConnection};
    std::optional<StoredReadings> stored;
    Readings() {
        connection.open();
        stored.emplace(connection);
    }
    StoredReadings *operator->() { return &*stored; }
};

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

void typeReading(BookDetailsPanel *panel, const QString &reading) {
    auto *field = control<QLineEdit>(panel, "txtReading");
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    typeKana(field, reading);
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
        if (action == "next")
            QTest::mouseClick(control(books->navigator(), "cmdMoveNext"), Qt::LeftButton);
        else if (action == "close")
            books->close();
        else if (action == "panel")
            panel->close();
        else
            click(books, "cmdUpdate");
        RegisterFixture::settle();
        QCOMPARE(fixture.messages.texts, QStringList());
        Readings readings;
        const auto stored = readings->title(rowIdOfTitle(fixture, title));
        QVERIFY(stored);
        QCOMPARE(stored->text, "イチノマキ");
        QCOMPARE(stored->origin, Origin::User);
        if (action == "next") {
            QCOMPARE(control<QLabel>(panel, "lblTitle")->text(), "二の巻");
            QCOMPARE(control<QLineEdit>(panel, "txtReading")->text(), "");
        }
        if (action == "close")
            QVERIFY(!RegisterFixture::visibleWindow(BookDetailsPanel::Name));
    }

    // Text that is no reading is refused as a field's bad value is, and the register stays.
    void panelRefusesWhatIsNoReading() {
        RegisterFixture fixture;
        fixture.addBook("一の巻", 1, 1);
        fixture.addBook("二の巻", 1, 2);
        BookRegister *books = fixture.openRegister();
        BookDetailsPanel *panel = openPanel(books);
        typeReading(panel, "一の巻");
        QTest::mouseClick(control(books->navigator(), "cmdMoveNext"), Qt::LeftButton);
        QCOMPARE(fixture.messages.texts.size(), 1);
        QVERIFY(fixture.messages.texts.first().startsWith(DataSource::ErrorPrefix));
        QCOMPARE(books->books()->recordSet().absolutePosition(), 1);
        QVERIFY(!Readings()->title(rowIdOfTitle(fixture, "一の巻")));
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

    void panelIsDisabledWithoutABook() {
        RegisterFixture fixture;
        BookDetailsPanel *panel = openPanel(fixture.openRegister());
        QVERIFY(!control(panel, "txtReading")->isEnabled());
        QVERIFY(!control(panel, "cmdSuggest")->isEnabled());
    }

    // Each row button, typed kana and 他 stand on the first entry of their place in the order.
    void indexJumps_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("entry");
        QTest::newRow("あ") << "button 0"
                            << "芥川龍之介";
        QTest::newRow("か (ガ sorts with カ)") << "button 1"
                                               << "ガルシア";
        QTest::newRow("な") << "button 4"
                            << "夏目漱石";
        QTest::newRow("は") << "button 5"
                            << "東野圭吾";
        QTest::newRow("や") << "button 7"
                            << "山崎豊子";
        QTest::newRow("わ") << "button 9"
                            << "和辻哲郎";
        QTest::newRow("他: a name without reading") << "button 10"
                                                    << "Zola";
        QTest::newRow("typed かわ") << "type かわ"
                                    << "川端康成";
        QTest::newRow("typed ひ") << "type ひ"
                                  << "東野圭吾";
        QTest::newRow("typed before the first row") << "type ぁ"
                                                    << "芥川龍之介";
    }
    void indexJumps() {
        QFETCH(QString, how);
        QFETCH(QString, entry);
        RegisterFixture fixture;
        seedAuthors(fixture);
        KanaIndexWindow *index = openIndex(fixture.openRegister());
        QVERIFY(index);
        control<QTabBar>(index, "tabLists")->setCurrentIndex(1);
        const QString what = how.section(' ', 1);
        if (how.startsWith("button"))
            click(index, QString("cmdRow(%1)").arg(what));
        else
            typeKana(control(index, "grdEntries"), what);
        QCOMPARE(currentEntry(index), entry);
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

    // Enter on a book in the index stands the register on it.
    void indexOpensABookInTheRegister() {
        RegisterFixture fixture;
        seedAuthors(fixture);
        BookRegister *books = fixture.openRegister();
        KanaIndexWindow *index = openIndex(books);
        control<QTabBar>(index, "tabLists")->setCurrentIndex(1);
        click(index, "cmdRow(9)");
        auto *bookList = control<QTableView>(index, "grdBooks");
        bookList->setFocus();
        QTest::keyClick(bookList, Qt::Key_Return);
        QCOMPARE(books->books()->recordSet().value("題名").toString(), "和辻哲郎の本0");
    }
};

QTEST_MAIN(CollectionTest)
#include "tst_collection.moc"
