// Look-up by ISBN: the service's answers as recorded from its documented format, hostile ones,
// and the client against a server of the test's own on the loopback address.
#include "../hardening/Harness.h"

#include "base/Failure.h"
#include "lookup/IsbnLookup.h"
#include "lookup/LookupCache.h"
#include "lookup/SruAnswer.h"
#include "support/DataFolder.h"
#include "support/DataRows.h"
#include "support/LocalSruServer.h"

#include <QSignalSpy>
#include <QtTest>

using namespace hondana;
using test::LocalSruServer;
using test::u8;

namespace {

const QString Found = QStringLiteral("9784101010014");

QByteArray recorded(const char *name) {
    return LocalSruServer::recorded(QString::fromUtf8(name));
}

QByteArray envelope(const QByteArray &inside) {
    return "<searchRetrieveResponse xmlns=\"http://www.loc.gov/zing/srw/\">" + inside +
           "</searchRetrieveResponse>";
}

const int Refused = -1;

LookupResult lookUpOnce(IsbnLookup &lookup, const QString &isbn) {
    QSignalSpy finished(&lookup, &IsbnLookup::finished);
    lookup.lookUp(Isbn::fromText(isbn));
    if (!finished.wait(5000))
        qFatal("no result");
    return finished.first().first().value<LookupResult>();
}

} // namespace

class TestLookup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsAnswers_data();
    void readsAnswers();
    void looksUpOnTheLocalServer_data();
    void looksUpOnTheLocalServer();
    void commandLinePrintsOneLinePerIsbn_data();
    void commandLinePrintsOneLinePerIsbn();
};

void TestLookup::readsAnswers_data() {
    // `found` 1, 0 or Refused; `says` part of the note or of the refusal
    test::columns<QByteArray, int, QString, QString, QString, QString, QDate, int, QString, QString,
                  QString>({"answer", "found", "title", "reading", "author", "publisher", "issued",
                            "price", "size", "ndc", "says"});
    test::row("one book", recorded("sru-found.xml"), 1, u8("吾輩は猫である"),
              u8("ワガハイ ワ ネコ デ アル"), u8("夏目 漱石"), u8("新潮社"), QDate(2003, 6, 1), 710,
              u8("16cm"), u8("913.61"), QString());
    test::row("two records packed as text: the printed book wins", recorded("sru-two-records.xml"),
              1, u8("こころ"), u8("ココロ"), u8("夏目漱石"), u8("岩波書店"), QDate(1989, 5, 16),
              1200, u8("15cm"), u8("913.6"), u8("2件"));
    const auto refused = [](const char *name, const QByteArray &answer, const char *says) {
        test::row(name, answer, Refused, QString(), QString(), QString(), QString(), QDate(), 0,
                  QString(), QString(), u8(says));
    };
    test::row("no record", recorded("sru-not-found.xml"), 0, QString(), QString(), QString(),
              QString(), QDate(), 0, QString(), QString(), QString());
    refused("cut short", recorded("sru-malformed.xml"), "読めません");
    refused("a diagnostic", recorded("sru-diagnostic.xml"), "Query syntax error: isbn=");
    refused("not a search answer", "<html><body>maintenance</body></html>",
            "検索の応答ではありません");
    refused("a record with no data", envelope("<records><record/></records>"), "内容がありません");
    refused("billion laughs",
            "<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">"
            "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">]>" +
                envelope("<version>&c;</version>"),
            "文書型宣言");
    refused("a declaration inside a record packed as text",
            envelope("<records><record><recordData>&lt;!DOCTYPE r [&lt;!ENTITY a \"b\"&gt;]&gt;"
                     "&lt;r/&gt;</recordData></record></records>"),
            "文書型宣言");
    refused("nested past any record", envelope(QByteArray(5000, 'x').replace("x", "<a>")),
            "深すぎます");
    refused("over the size limit", envelope(QByteArray(MaximumSruAnswerBytes, ' ')),
            "大きすぎます");
}

void TestLookup::readsAnswers() {
    const int found = test::cell<int>("found");
    SruAnswer answer;
    try {
        answer = readSruAnswer(test::cell<QByteArray>("answer"));
        QVERIFY2(found != Refused, "a hostile or broken answer was read");
    } catch (const Failure &failure) {
        QCOMPARE(found, Refused);
        QVERIFY2(failure.message().contains(test::text("says")), qPrintable(failure.message()));
        return;
    }
    QCOMPARE(int(answer.found), found);
    QVERIFY2(answer.note.contains(test::text("says")), qPrintable(answer.note));
    const LookedUpBook &book = answer.book;
    QCOMPARE(book.title.name, test::text("title"));
    QCOMPARE(book.title.reading, test::text("reading"));
    QCOMPARE(book.authors.value(0).name, test::text("author"));
    QCOMPARE(book.publisher.name, test::text("publisher"));
    QCOMPARE(book.issuedDate, test::cell<QDate>("issued"));
    QCOMPARE(book.priceYen, test::cell<int>("price"));
    QCOMPARE(book.size, test::text("size"));
    QCOMPARE(book.ndc, test::text("ndc"));
}

void TestLookup::looksUpOnTheLocalServer_data() {
    // After the first look-up the server stops, and the same ISBN is asked again: an answer comes
    // from the cache, a failure is tried again (and refused).
    test::columns<QByteArray, int, int, bool, int, QString>(
        {"body", "status", "delayMs", "serverDown", "outcome", "says"});
    using Outcome = LookupResult::Outcome;
    test::row("found", recorded("sru-found.xml"), 200, 0, false, int(Outcome::Found), QString());
    test::row("not found", recorded("sru-not-found.xml"), 200, 0, false, int(Outcome::NotFound),
              u8("見つかりませんでした"));
    test::row("two records", recorded("sru-two-records.xml"), 200, 0, false, int(Outcome::Found),
              u8("最初の図書"));
    test::row("malformed", recorded("sru-malformed.xml"), 200, 0, false, int(Outcome::Failed),
              u8("読めません"));
    test::row("server error", QByteArray("busy"), 503, 0, false, int(Outcome::Failed),
              u8("HTTP 503"));
    test::row("huge answer", QByteArray(3 * 1024 * 1024, ' '), 200, 0, false, int(Outcome::Failed),
              u8("大きすぎる"));
    test::row("slow server", recorded("sru-found.xml"), 200, 3000, false, int(Outcome::Failed),
              u8("以内に応答しませんでした"));
    test::row("refused connection", QByteArray(), 200, 0, true, int(Outcome::Failed),
              u8("接続できません"));
}

void TestLookup::looksUpOnTheLocalServer() {
    const auto outcome = LookupResult::Outcome(test::cell<int>("outcome"));
    test::DataFolder folder(test::DataFolder::Empty);
    LocalSruServer server;
    server.answer(Found, {test::cell<QByteArray>("body"), test::cell<int>("status"),
                          test::cell<int>("delayMs")});
    if (test::cell<bool>("serverDown"))
        server.shutDown();
    LookupCache cache(folder.path());
    IsbnLookup lookup(QUrl(server.address()), &cache);
    lookup.setTimeout(std::chrono::milliseconds(300));

    const LookupResult first = lookUpOnce(lookup, Found);
    QCOMPARE(int(first.outcome), int(outcome));
    QVERIFY2(first.message.contains(test::text("says")), qPrintable(first.message));
    QVERIFY(!first.fromCache);
    QCOMPARE(cache.find(first.isbn).has_value(), outcome != LookupResult::Outcome::Failed);
    QCOMPARE(lookup.pending(), 0);

    server.shutDown();
    const LookupResult again = lookUpOnce(lookup, Found);
    if (outcome == LookupResult::Outcome::Failed) {
        QCOMPARE(int(again.outcome), int(LookupResult::Outcome::Failed));
        QVERIFY2(again.message.contains(u8("接続できません")), qPrintable(again.message));
    } else {
        QVERIFY(again.fromCache);
        QCOMPARE(int(again.outcome), int(outcome));
        QCOMPARE(resultLine(again), resultLine(first));
    }
}

void TestLookup::commandLinePrintsOneLinePerIsbn_data() {
    // `requests` the server sees: an ISBN given twice is asked once
    test::columns<QStringList, int, QStringList, int>({"isbns", "exitCode", "lines", "requests"});
    test::row("found, hyphenated as printed", QStringList{"978-4-10-101001-4"}, 0,
              QStringList{u8("9784101010014\t吾輩は猫である\tワガハイ ワ ネコ デ アル\t夏目 漱石\t"
                             "新潮社\t2003-06\t710円\t610p ; 16cm\t913.61")},
              1);
    test::row("one the server does not know, between found ones",
              QStringList{Found, "9784061234567", Found}, 1,
              QStringList{Found + u8("\t吾輩は猫である"), u8("9784061234567\t照会先がエラー"),
                          Found + u8("\t吾輩は猫である")},
              2);
    test::row("not an ISBN", QStringList{"4-10-101001-X"}, 1,
              QStringList{u8("4-10-101001-X\t「4-10-101001-X」はチェックディジット")}, 0);
}

void TestLookup::commandLinePrintsOneLinePerIsbn() {
    const QStringList lines = test::cell<QStringList>("lines");
    test::DataFolder folder(test::DataFolder::Empty);
    LocalSruServer server;
    server.answer(Found, {recorded("sru-found.xml")});
    const hardening::Outcome outcome =
        hardening::run({hardening::adminProgram(),
                        QStringList{"lookup"} + test::cell<QStringList>("isbns"),
                        folder.path(),
                        {{"HONDANA_LOOKUP_URL", server.address()}}});
    QCOMPARE(outcome.exitCode, test::cell<int>("exitCode"));
    const QStringList printed = outcome.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(printed.size(), lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        QVERIFY2(printed[i].startsWith(lines[i]), qPrintable(printed[i]));
    QCOMPARE(server.requests(), test::cell<int>("requests"));
}

QTEST_GUILESS_MAIN(TestLookup)
#include "tst_lookup.moc"
