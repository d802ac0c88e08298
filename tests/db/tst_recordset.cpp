#include "base/FileNames.h"
#include "db/Connection.h"
#include "db/RecordSet.h"
#include "db/SqliteLibrary.h"
#include "register/MEISAI.h"
#include "support/DataFolder.h"
#include "support/TestSql.h"

#include <QSignalSpy>
#include <QSqlQuery>
#include <QtTest>
#include <sqlite3.h>

using namespace hondana;

namespace {

// A fresh catalogue holding `titles` as books of author 1, 2, 3, ... (so the register's order
// is the order given), opened through the catalogue's data-link file, with the register's set.
struct Catalogue {
    test::DataFolder folder;
    Connection connection{QStringLiteral("FILE NAME=Karobu.udl")};
    RecordSet set;

    explicit Catalogue(const QStringList &titles, const QString &source = MEISAI::RecordSource) {
        folder.copyShipped(files::CatalogueTemplate, files::Catalogue);
        connection.open();
        exec("INSERT INTO CHOSHA (著者NO, 著者名) VALUES (1, '夏目漱石'), (2, '森鴎外')");
        for (int i = 0; i < titles.size(); ++i)
            exec(QStringLiteral("INSERT INTO BOOK (SEQNO, 題名, 著者NO, 価格, 購入日) VALUES "
                                "(1, '%1', %2, 1000, '2024-04-01')")
                     .arg(titles.at(i))
                     .arg(i + 1));
        if (!source.isEmpty())
            set.open(connection, source);
    }
    void exec(const QString &sql) { test::exec(connection.database(), sql); }
    QVariant value(const QString &sql) { return test::value(connection.database(), sql); }
    QString books() { return value("SELECT group_concat(題名, ',') FROM BOOK").toString(); }
    QString title() { return set.value(QStringLiteral("題名")).toString(); }
};

QString failureOf(const std::function<void()> &call) {
    try {
        call();
    } catch (const Failure &failure) {
        return failure.message();
    }
    return {};
}

} // namespace

class TestRecordSet : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sources_data();
    void sources();
    void moves_data();
    void moves();
    void storedValues();
    void refusedSaveKeepsTheEdit_data();
    void refusedSaveKeepsTheEdit();
    void newRows();
    void filter();
    void sameLibrary();
};

// Only columns that come from one table's rows, under their own names, can be written; every
// other source reads what it shows and refuses writes.
void TestRecordSet::sources_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("fields"); // -1: the source cannot be opened
    QTest::addColumn<QStringList>("writable");
    QTest::addColumn<QStringList>("readOnly");
    const QStringList none, title{"題名"};
    QTest::newRow("register") << MEISAI::RecordSource << 20 << QStringList{"題名", "価格", "購入日"}
                              << none;
    QTest::newRow("table") << "book" << 20 << title << none;
    QTest::newRow("bracketed table") << "[BOOK]" << 20 << title << none;
    QTest::newRow("bracketed") << "select [題名], [SEQNO] from [BOOK] where [SEQNO] = 1" << 2
                               << QStringList{"題名", "SEQNO"} << none;
    QTest::newRow("alias") << "select 題名 AS 価格, SEQNO from BOOK" << 2 << QStringList{"SEQNO"}
                           << QStringList{"価格"};
    QTest::newRow("expression") << "select 題名, 価格 * 2 AS 全体NO, rowid from BOOK" << 3 << title
                                << QStringList{"全体NO", "rowid"};
    QTest::newRow("stored query") << "TQ1" << 24 << none << title;
    QTest::newRow("view") << "select 題名 from TQ1" << 1 << none << title;
    QTest::newRow("join")
        << "select 題名, 著者名 from BOOK, CHOSHA where BOOK.著者NO = CHOSHA.著者NO" << 2 << none
        << title;
    QTest::newRow("join showing one table")
        << "select BOOK.題名 from CHOSHA RIGHT JOIN BOOK ON CHOSHA.著者NO = BOOK.著者NO" << 1
        << none << title;
    QTest::newRow("union")
        << "select 題名 from BOOK where SEQNO = 1 union select 著者名 from CHOSHA" << 1 << none
        << title;
    QTest::newRow("subquery") << "select 題名 from BOOK where 著者NO in (select 著者NO from CHOSHA)"
                              << 1 << none << title;
    QTest::newRow("count") << "select count(*) AS 全体NO from BOOK" << 1 << none
                           << QStringList{"全体NO"};
    QTest::newRow("distinct") << "select distinct 題名 from BOOK" << 1 << none << title;
    QTest::newRow("grouped") << "select 題名 from BOOK group by 題名" << 1 << none << title;
    QTest::newRow("missing table") << "NOSUCH" << -1 << none << none;
    QTest::newRow("missing column") << "select 無い列 from BOOK" << -1 << none << none;
}

void TestRecordSet::sources() {
    QFETCH(QString, source);
    QFETCH(int, fields);
    QFETCH(QStringList, writable);
    QFETCH(QStringList, readOnly);
    Catalogue catalogue({"こころ", "舞姫"}, {});
    RecordSet &set = catalogue.set;
    const QString failure = failureOf([&] { set.open(catalogue.connection, source); });
    QVERIFY2(fields < 0 ? failure.contains(source.right(6)) : failure.isEmpty(),
             qPrintable(failure));
    QCOMPARE(set.isOpen(), fields >= 0);
    if (fields < 0)
        return;
    QCOMPARE(set.fieldNames().size(), fields);
    QCOMPARE(set.isUpdatable(), !writable.isEmpty());
    for (const QString &field : writable)
        set.setValue(field, set.value(field));
    set.updateBatch(); // what was read goes back into the same columns
    const QString refusal = set.isUpdatable() ? QStringLiteral("は変更できません") : "読み取り専用";
    for (const QString &field : readOnly)
        QVERIFY(failureOf([&] { set.setValue(field, 1); }).contains(refusal));
    QVERIFY(set.isUpdatable() || failureOf([&] { set.addNew(); }).contains(refusal));
    QVERIFY(set.isUpdatable() || failureOf([&] { set.deleteCurrent(); }).contains(refusal));
    QCOMPARE(catalogue.value("SELECT group_concat(題名 || 価格 || 購入日) FROM BOOK").toString(),
             "こころ10002024-04-01,舞姫10002024-04-01");
}

// Steps over the register's books a, b, c (as many as `books`); after a delete the position
// stays on the emptied slot, and moving on reaches the book that followed.
void TestRecordSet::moves_data() {
    QTest::addColumn<int>("books");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("outcome"); // the current title, or the last step's refusal
    const int bof = RecordSet::PositionBof, eof = RecordSet::PositionEof, none = -1;
    const QString noRecord = QStringLiteral("レコードがありません。");
    QTest::newRow("to the end") << 3 << "next next" << 3 << "c";
    QTest::newRow("past the end") << 3 << "next next next next" << eof
                                  << "現在のレコードがありません（";
    QTest::newRow("back from EOF") << 3 << "last next previous" << 3 << "c";
    QTest::newRow("before the start")
        << 3 << "previous previous" << bof << "現在のレコードがありません（";
    QTest::newRow("to a position") << 3 << "2" << 2 << "b";
    QTest::newRow("beyond the last") << 3 << "2 4" << 2 << "レコード位置 4 はありません";
    QTest::newRow("position zero") << 3 << "0" << 1 << "レコード位置 0 はありません";
    QTest::newRow("delete the middle")
        << 3 << "2 delete" << none << "現在のレコードは削除されています";
    QTest::newRow("and move on") << 3 << "2 delete next" << 2 << "c";
    QTest::newRow("and go last") << 3 << "2 delete last" << 2 << "c";
    QTest::newRow("delete the first") << 3 << "delete next" << 1 << "b";
    QTest::newRow("delete the last")
        << 3 << "3 delete next" << eof << "現在のレコードがありません。";
    QTest::newRow("and go back") << 3 << "3 delete last" << 2 << "b";
    QTest::newRow("delete the only") << 1 << "delete last" << none << noRecord;
    QTest::newRow("empty, last") << 0 << "last" << none << noRecord;
    QTest::newRow("empty, next") << 0 << "next" << none << "現在のレコードがありません（";
    QTest::newRow("empty, delete") << 0 << "delete" << none << "現在のレコードがありません。";
}

void TestRecordSet::moves() {
    QFETCH(int, books);
    QFETCH(QString, steps);
    QFETCH(int, position);
    QFETCH(QString, outcome);
    Catalogue catalogue(QStringList{"a", "b", "c"}.mid(0, books));
    RecordSet &set = catalogue.set;
    QSignalSpy moved(&set, &RecordSet::moveComplete);
    int moves = 0;
    QString failure;
    for (const QString &step : steps.split(u' ')) {
        failure = failureOf([&] {
            step == "next"       ? set.moveNext()
            : step == "previous" ? set.movePrevious()
            : step == "last"     ? set.moveLast()
            : step == "delete"   ? set.deleteCurrent()
                                 : set.moveTo(step.toInt());
        });
        moves += failure.isEmpty() && step != "delete";
    }
    QCOMPARE(moved.count(), moves); // a refused move announces nothing
    QCOMPARE(set.absolutePosition(), position);
    QCOMPARE(set.bof(), set.recordCount() == 0 || position == RecordSet::PositionBof);
    QCOMPARE(set.eof(), set.recordCount() == 0 || position == RecordSet::PositionEof);
    QCOMPARE(catalogue.value("SELECT count(*) FROM BOOK").toInt(), set.recordCount());
    if (failure.isEmpty() && set.hasCurrent())
        failure = catalogue.title();
    else if (failure.isEmpty())
        failure = failureOf([&] { catalogue.title(); });
    QVERIFY2(failure.startsWith(outcome), qPrintable(failure));
}

// What is written comes back as it was assigned; empty, zero and null stay apart.
void TestRecordSet::storedValues() {
    Catalogue catalogue({"a", "b"});
    catalogue.exec("UPDATE BOOK SET 内容 = '', 全体NO = 0, 購入日 = '1899-12-30'");
    catalogue.set.requery();
    RecordSet &set = catalogue.set;
    set.setValue("題名", QString(25, u'漢'));
    set.setValue("発行日", QDate(2001, 2, 3));
    set.setValue("価格", "1,500");
    set.setValue("SEQNO", QVariant());
    QVERIFY(!failureOf([&] { set.setValue("題名", QString(26, u'漢')); }).isEmpty());
    QCOMPARE(catalogue.books(), QStringLiteral("a,b"));
    set.moveNext();
    QCOMPARE(
        catalogue.value("SELECT 発行日 || 価格 || ifnull(SEQNO, '-') FROM BOOK WHERE 著者NO = 1"),
        QVariant("2001-02-031500-"));
    set.requery();
    QCOMPARE(catalogue.title(), QString(25, u'漢'));
    QCOMPARE(set.value("発行日"), QVariant(QDate(2001, 2, 3)));
    QCOMPARE(set.value("購入日"), QVariant(QDate(1899, 12, 30)));
    QCOMPARE(set.value("価格"), QVariant::fromValue<qint64>(1500));
    QVERIFY(set.value("SEQNO").isNull() && set.value("版数").isNull());
    QCOMPARE(set.value("内容"), QVariant(QString("")));
    QCOMPARE(set.value("全体NO"), QVariant::fromValue<qint64>(0));
}

void TestRecordSet::refusedSaveKeepsTheEdit_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("onNewRow");
    QTest::addColumn<bool>("byCheck"); // the screen's save check refuses, else the engine
    for (const char *operation : {"moveNext", "addNew", "updateBatch"}) {
        QTest::addRow("%s, engine", operation) << operation << false << false;
        QTest::addRow("%s, check", operation) << operation << false << true;
        QTest::addRow("%s, new row", operation) << operation << true << false;
    }
}

void TestRecordSet::refusedSaveKeepsTheEdit() {
    QFETCH(QString, operation);
    QFETCH(bool, onNewRow);
    QFETCH(bool, byCheck);
    Catalogue catalogue({"a", "b"});
    for (const char *when : {"INSERT", "UPDATE"}) // a trigger holds ";": not for test::exec
        QSqlQuery(catalogue.connection.database())
            .exec(QStringLiteral("CREATE TRIGGER refuse_%1 BEFORE %1 ON BOOK WHEN NEW.題名 = 'NG' "
                                 "BEGIN SELECT RAISE(ABORT, 'title refused'); END")
                      .arg(when));
    RecordSet &set = catalogue.set;
    if (byCheck) {
        set.setSaveCheck([&] {
            if (set.currentRowId() == 1 && catalogue.title() == "NG")
                throw Failure("duplicate");
        });
        set.setDeleteCheck([] { throw Failure("referenced"); });
    }
    if (onNewRow)
        set.addNew();
    QSignalSpy changes(&set, &RecordSet::willChangeRecord);
    const auto run = [&] {
        operation == "moveNext" ? set.moveNext()
        : operation == "addNew" ? set.addNew()
                                : set.updateBatch();
    };
    set.setValue("題名", "NG");
    QVERIFY(failureOf(run).startsWith(byCheck ? "duplicate"
                                              : "「BOOK」に書き込めません: title refused"));
    QCOMPARE(changes.count(), byCheck ? 0 : 1);
    QCOMPARE(set.absolutePosition(), onNewRow ? 3 : 1);
    QCOMPARE(set.recordCount(), onNewRow ? 3 : 2);
    QVERIFY(set.isDirty());
    QCOMPARE(catalogue.title(), QStringLiteral("NG"));
    QCOMPARE(catalogue.books(), QStringLiteral("a,b"));
    set.setValue("題名", "OK");
    run();
    QCOMPARE(catalogue.books(), onNewRow ? "a,b,OK" : "OK,b");
    QCOMPARE(failureOf([&] { set.moveFirst(), set.deleteCurrent(); }), byCheck ? "referenced" : "");
}

// New rows stay at the end until requery; one never typed into is dropped, not written empty.
void TestRecordSet::newRows() {
    Catalogue catalogue({});
    RecordSet &set = catalogue.set;
    for (const char *title : {"b", "c", "a"}) {
        set.addNew();
        QVERIFY(set.isNewRow() && set.value("題名").isNull());
        set.setValue("題名", title);
        set.setValue("著者NO", title[0] - 'a'); // "a" sorts first in the register's order
    }
    set.update();
    set.addNew();
    set.updateBatch(); // nothing typed: nothing to write, and the row goes on leaving it
    set.movePrevious();
    QCOMPARE(catalogue.title(), QStringLiteral("a"));
    set.addNew();
    set.setValue("題名", "new");
    set.cancelUpdate();
    QCOMPARE(set.absolutePosition(), 3);
    set.setValue("題名", "a'"); // a second write goes to the same row, by rowid
    set.cancelUpdate();
    QCOMPARE(catalogue.title(), QStringLiteral("a"));
    set.setValue("題名", "a'");
    set.moveFirst();
    QCOMPARE(catalogue.books(), QStringLiteral("b,c,a'"));
    set.requery();
    QCOMPARE(catalogue.title(), QStringLiteral("a'"));
}

void TestRecordSet::filter() {
    Catalogue catalogue({"abc", "ABD", "xyz", "吾輩は猫である"}, "TQ1");
    RecordSet &set = catalogue.set;
    set.setFilter("題名 LIKE 'ab*'");
    QCOMPARE(set.recordCount(), 2);
    set.setFilter("題名 LIKE '吾輩*' AND 著者名 LIKE '*'");
    QCOMPARE(set.recordCount(), 0); // author 4 has no CHOSHA row: null name
    set.setFilter("題名 LIKE '吾輩*'");
    QVERIFY(!failureOf([&] { set.setFilter("題名 LIKE 'it's*'"); }).isEmpty());
    QVERIFY(!failureOf([&] { set.setFilter("無い列 LIKE 'a*'"); }).isEmpty());
    set.requery(); // the filter outlives a requery
    QCOMPARE(set.filter(), QStringLiteral("題名 LIKE '吾輩*'"));
    QCOMPARE(set.recordCount(), 1);
    QCOMPARE(set.absolutePosition(), 1);
    set.setFilter("");
    QCOMPARE(set.recordCount(), 4);
}

// The driver's SQLite is compared with the linked one by source id; another build is refused.
void TestRecordSet::sameLibrary() {
    const QString linked = QString::fromUtf8(sqlite3_sourceid());
    const QString other = QStringLiteral("2019-10-10 20:19:45 18db032d058f1436ce3dea84081f4ee5a");
    QVERIFY(sqlite::sameLibrary(linked, QString::fromUtf8(sqlite3_sourceid())));
    QVERIFY(!sqlite::sameLibrary(linked, other));
    QVERIFY(!sqlite::sameLibrary(linked, QString())); // the driver did not answer
    QVERIFY(sqlite::libraryMismatchMessage(linked, other).contains(other));
}

QTEST_GUILESS_MAIN(TestRecordSet)
#include "tst_recordset.moc"
