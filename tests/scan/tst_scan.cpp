// Scanning a shelf: each number's state, corrections and drops, and the window as a scanner
// drives it, against a server of the test's own.
#include "catalogue/StoredIsbns.h"
#include "db/ConnectionString.h"
#include "lookup/LookupCache.h"
#include "lookup/LookupSettings.h"
#include "scan/ScannedBooks.h"
#include "scan/ShelfScanWindow.h"
#include "support/Catalogues.h"
#include "support/DataFolder.h"
#include "support/DataRows.h"
#include "support/LocalSruServer.h"
#include "support/MessageRecorder.h"
#include "support/TestFiles.h"
#include "support/TestSql.h"

#include <QAbstractItemModelTester>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace hondana;
using test::LocalSruServer;
using test::u8;

namespace {

const QString Found = QStringLiteral("9784101010014");
const QString NotFound = QStringLiteral("9784796688888");
const QString InCatalogue = QStringLiteral("9784003101018");

// A server that knows one book and one number without a book; any other ISBN gets 404.
void record(LocalSruServer &server) {
    server.answer(Found, {LocalSruServer::recorded("sru-found.xml")});
    server.answer(NotFound, {LocalSruServer::recorded("sru-not-found.xml")});
}

QStringList states(const ScannedBooks &scanned) {
    QStringList texts;
    for (int row = 0; row < scanned.rowCount(); ++row)
        texts << scanned.index(row, ScannedBooks::StateColumn).data().toString();
    return texts;
}

bool answered(const ScannedBooks &scanned) {
    return scanned.count(ScannedBooks::State::Waiting) == 0;
}

} // namespace

class TestScan : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void listsEachNumberWithItsState_data();
    void listsEachNumberWithItsState();
    void correctsAndDropsRows();
    void scannerFiresIntoTheWindow_data();
    void scannerFiresIntoTheWindow();
    void addsFoundBooksAtOnce_data();
    void addsFoundBooksAtOnce();
};

void TestScan::listsEachNumberWithItsState_data() {
    test::columns<QStringList, bool, QStringList>({"typed", "lookupsOn", "states"});
    test::row("every state",
              QStringList{Found, "978-4-7966-8888-8", "9784061234567", "978410101001X",
                          u8("１９２０１９３００６００４"), Found, InCatalogue},
              true,
              QStringList{u8("見つかりました"), u8("見つかりません"), u8("照会できません"),
                          u8("無効な ISBN"), u8("無効な ISBN"), u8("読み取り済み"),
                          u8("登録済み")});
    test::row("look-ups not allowed", QStringList{Found, Found}, false,
              QStringList{u8("未照会"), u8("読み取り済み")});
}

void TestScan::listsEachNumberWithItsState() {
    test::DataFolder folder(test::DataFolder::Empty);
    LocalSruServer server;
    record(server);
    LookupCache cache(folder.path());
    IsbnLookup lookup(QUrl(server.address()), &cache);
    ScannedBooks scanned([](const Isbn &isbn) { return isbn.digits() == InCatalogue; });
    QAbstractItemModelTester tester(&scanned);
    if (test::cell<bool>("lookupsOn"))
        scanned.setLookup(&lookup);
    for (const QString &typed : test::cell<QStringList>("typed"))
        scanned.take(typed);
    QTRY_VERIFY(answered(scanned));
    QCOMPARE(states(scanned), test::cell<QStringList>("states"));
}

void TestScan::correctsAndDropsRows() {
    LocalSruServer server;
    record(server);
    IsbnLookup lookup(QUrl(server.address()), nullptr);
    ScannedBooks scanned({});
    QAbstractItemModelTester tester(&scanned);
    scanned.take("978410101001"); // a digit short
    scanned.take(NotFound);
    QCOMPARE(states(scanned), (QStringList{u8("無効な ISBN"), u8("未照会")}));

    // Allowing look-ups asks for the rows that waited; a corrected number is asked for anew.
    scanned.setLookup(&lookup);
    QVERIFY(scanned.setData(scanned.index(0, ScannedBooks::IsbnColumn), Found));
    QTRY_VERIFY(answered(scanned));
    QCOMPARE(states(scanned), (QStringList{u8("見つかりました"), u8("見つかりません")}));
    QCOMPARE(scanned.index(0, ScannedBooks::TitleColumn).data().toString(), u8("吾輩は猫である"));

    scanned.drop({1, 1, 7});
    QCOMPARE(scanned.rowCount(), 1);
    QCOMPARE(scanned.foundBooks().size(), 1);
    QCOMPARE(scanned.foundBooks().first().isbn.digits(), Found);
}

void TestScan::scannerFiresIntoTheWindow_data() {
    // `allow`: the answer to the one question; `states` after two scans
    test::columns<bool, QStringList>({"allow", "states"});
    test::row("allowed", true, QStringList{u8("見つかりました"), u8("見つかりません")});
    test::row("refused", false, QStringList{u8("未照会"), u8("未照会")});
}

void TestScan::scannerFiresIntoTheWindow() {
    const bool allow = test::cell<bool>("allow");
    test::DataFolder folder(test::DataFolder::Empty);
    LocalSruServer server;
    record(server);
    qputenv(LookupSettings::AddressVariable, server.address().toUtf8());
    test::MessageRecorder messages;
    messages.answers = {allow};
    ShelfScanWindow window;
    window.show();
    // The scanner fired as the window opens: the question comes once the window has the keys,
    // without waiting for a scan, and never again; every number fired is in the list.
    auto *field = window.findChild<QLineEdit *>("txtIsbn");
    const auto fire = [field](const QString &isbn) {
        QTest::keyClicks(field, isbn);
        QTest::keyClick(field, Qt::Key_Return);
    };
    fire(Found);
    QVERIFY(messages.texts.isEmpty());
    QTRY_COMPARE(messages.texts.size(), 1);
    QVERIFY(messages.texts.first().contains(u8("国立国会図書館")));
    fire(NotFound);
    QVERIFY(field->text().isEmpty());
    QTRY_VERIFY(answered(window.scanned()));
    QCOMPARE(states(window.scanned()), test::cell<QStringList>("states"));
    QCOMPARE(LookupSettings().consent(),
             allow ? LookupSettings::Consent::Allowed : LookupSettings::Consent::Refused);

    ShelfScanWindow again;
    again.show();
    QVERIFY(QTest::qWaitForWindowActive(&again));
    QTest::qWait(20);
    QCOMPARE(messages.texts.size(), 1);
}

void TestScan::addsFoundBooksAtOnce_data() {
    // `confirm`: the answer to "N 冊を登録します。…"; `refusing`: the catalogue refuses every book
    test::columns<bool, bool, int, QStringList>({"confirm", "refusing", "added", "left"});
    test::row("added", true, false, 1, QStringList{u8("見つかりません")});
    test::row("declined", false, false, 0, QStringList{u8("見つかりました"), u8("見つかりません")});
    test::row("refused", true, true, 0, QStringList{u8("見つかりました"), u8("見つかりません")});
}

void TestScan::addsFoundBooksAtOnce() {
    test::DataFolder folder;
    test::makeCatalogue(folder.path(), 3);
    test::SqlFile catalogue(folder.filePath("TOSHO.MDB"));
    if (test::cell<bool>("refusing"))
        // A book priced as the new one is keeps it out: the price reached 価格.
        catalogue.exec(u8("UPDATE BOOK SET [価格] = rowid + 1000; UPDATE BOOK SET [価格] = 710 "
                          "WHERE rowid = 1; CREATE UNIQUE INDEX refuse ON BOOK ([価格])"));
    LocalSruServer server;
    record(server);
    qputenv(LookupSettings::AddressVariable, server.address().toUtf8());
    LookupSettings().setConsent(true);
    test::MessageRecorder messages;
    messages.answers = {test::cell<bool>("confirm")};
    ShelfScanWindow window;
    window.show();
    auto *addAll = window.findChild<QPushButton *>("cmdAddAll");
    window.scanned().take(Found);
    window.scanned().take(NotFound);
    QVERIFY(!addAll->isEnabled());
    QTRY_VERIFY(answered(window.scanned()));
    QVERIFY(addAll->isEnabled());
    addAll->click();

    QCOMPARE(messages.texts.size(), test::cell<bool>("refusing") ? 2 : 1);
    QVERIFY(messages.texts.first().startsWith(u8("1 冊を登録します。\n新しい著者: 夏目 漱石\n")));
    QCOMPARE(states(window.scanned()), test::cell<QStringList>("left"));
    const int added = test::cell<int>("added");
    QCOMPARE(catalogue.value("SELECT COUNT(*) FROM BOOK").toInt(), 3 + added);
    QCOMPARE(
        catalogue.value(u8("SELECT COUNT(*) FROM CHOSHA WHERE [著者名] = '夏目 漱石'")).toInt(),
        added);
    Connection connection(CatalogueLinkConnection);
    connection.open();
    QCOMPARE(StoredIsbns(connection).booksWith(Isbn::fromText(Found)).size(), added);
    QCOMPARE(addAll->isEnabled(), added == 0);
}

QTEST_MAIN(TestScan)
#include "tst_scan.moc"
