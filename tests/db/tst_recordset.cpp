#include "base/FileNames.h"
#include "db/Connection.h"
#include "db/RecordSet.h"
#include "register/BookRegister.h"
#include "support/DataFolder.h"
#include "support/DataRows.h"
#include "support/TestSql.h"

#include <QSignalSpy>
#include <QtTest>

using namespace hondana;
using namespace hondana::test;

namespace {

// Books `titles` of authors 1, 2, 3, ... (the register's order); notes empty in the first only.
struct Catalogue {
    test::DataFolder folder;
    Connection connection{"FILE NAME=Karobu.udl"};
    RecordSet set;

    explicit Catalogue(const QStringList &titles,
                       const QString &source = BookRegister::RecordSource) {
        folder.copyShipped(files::CatalogueTemplate, files::Catalogue);
        connection.open();
        exec("INSERT INTO CHOSHA (著者NO, 著者名) VALUES (1, '夏目漱石'), (2, '森鴎外')");
        for (int i = 0; i < titles.size(); ++i)
            exec(QStringLiteral("INSERT INTO BOOK (題名, 著者NO, 価格, 購入日, 内容) VALUES "
                                "('%1', %2, 1000, '2024-04-01', %3)")
                     .arg(titles.at(i), QString::number(i + 1), i ? "NULL" : "''"));
        if (!source.isEmpty())
            set.open(connection, source);
    }
    void exec(const QString &sql) { test::exec(connection.database(), sql); }
    QString value(const QString &sql) { return test::value(connection.database(), sql).toString(); }
    QString title() { return set.value("題名").toString(); }

    // One step of a script: a command, "read" the title, "=x" a title, "filter" to titles
    // "b0…", "elsewhere" another connection's delete and insert, else a position.
    void perform(const QString &step) {
        if (step == "elsewhere") {
            Connection other("FILE NAME=Karobu.udl");
            other.open();
            return test::exec(other.database(),
                              "DELETE FROM BOOK WHERE 題名 = 'b400';"
                              "INSERT INTO BOOK (題名, 著者NO) VALUES ('new', 1)");
        }
        step == "next"       ? set.moveNext()
        : step == "previous" ? set.movePrevious()
        : step == "first"    ? set.moveFirst()
        : step == "last"     ? set.moveLast()
        : step == "delete"   ? set.deleteCurrent()
        : step == "add"      ? set.addNew()
        : step == "update"   ? set.update()
        : step == "cancel"   ? set.cancelUpdate()
        : step == "requery"  ? set.requery()
        : step == "filter"   ? set.setFilter("題名 LIKE 'b0*'")
        : step == "read"     ? void(title())
        : step[0] == u'='    ? set.setValue("題名", step.mid(1))
                             : set.moveTo(step.toInt());
    }
};

QString failureOf(const std::function<void()> &call) try {
    call();
    return {};
} catch (const Failure &failure) {
    return failure.message();
}

} // namespace

class TestRecordSet : public QObject {
    Q_OBJECT
private Q_SLOTS:

    // Only columns that come from one table's rows, under their own names, can be written (+);
    // every other source reads what it shows and refuses writes (-).
    void sources_data() {
        // `fields` -1: the source cannot be opened
        columns<QString, int, QString>({"source", "fields", "columns"});
        const char *title = "-題名";
        row("register", BookRegister::RecordSource, 20, "+題名 +価格 +購入日 +内容");
        row("table", "[book]", 20, "+題名");
        row("bracketed", "select [題名], [SEQNO] from [BOOK] where [SEQNO] IS NULL", 2,
            "+題名 +SEQNO");
        row("alias", "select 題名 AS 価格, SEQNO from BOOK", 2, "+SEQNO -価格");
        row("expression", "select 題名, 価格 * 2 AS 全体NO, rowid from BOOK", 3,
            "+題名 -全体NO -rowid");
        row("stored query", "TQ1", 24, title);
        row("join showing one table", "select BOOK.題名 from BOOK JOIN CHOSHA USING (著者NO)", 1,
            title);
        row("self join", "select a.題名 from BOOK a, BOOK b", 1, title);
        row("union", "select 題名 from BOOK where 価格 > 0 union select 国 from CHOSHA", 1, title);
        row("count", "select count(*) AS 全体NO from BOOK", 1, "-全体NO");
        row("distinct", "select distinct 題名 from BOOK", 1, title);
        row("missing table", "NOSUCH", -1, "");
        row("missing column", "select 無い列 from BOOK", -1, "");
    }

    void sources() {
        const QString source = text("source");
        const int fields = cell<int>("fields");
        const QString columns = text("columns");
        Catalogue catalogue({"こころ", "舞姫"}, {});
        RecordSet &set = catalogue.set;
        const QString failure = failureOf([&] { set.open(catalogue.connection, source); });
        QVERIFY2(fields < 0 ? failure.contains(source.right(6)) : failure.isEmpty(),
                 qPrintable(failure));
        if (fields < 0)
            return;
        QCOMPARE(set.fieldNames().size(), fields);
        QCOMPARE(set.isUpdatable(), columns.startsWith(u'+'));
        const QString refusal = set.isUpdatable() ? "は変更できません" : "読み取り専用";
        for (const QString &column : columns.split(u' ', Qt::SkipEmptyParts)) {
            const QString field = column.mid(1); // what was read goes back into the same column
            const QString failure = failureOf([&] { set.setValue(field, set.value(field)); });
            QVERIFY2(column.startsWith(u'+') ? failure.isEmpty() : failure.contains(refusal),
                     qPrintable(failure));
        }
        if (!set.isUpdatable())
            for (const auto write : {&RecordSet::addNew, &RecordSet::deleteCurrent})
                QVERIFY(failureOf([&] { (set.*write)(); }).contains(refusal));
        set.update();
        QCOMPARE(
            catalogue.value("SELECT group_concat(題名 || 価格 || 購入日 || quote(内容)) FROM BOOK"),
            "こころ10002024-04-01'',舞姫10002024-04-01NULL");
    }

    // Steps over the books a, b, c; the file refuses a second equal title. A refused save keeps the
    // change pending; a delete leaves an empty slot; new rows stay at the end until requery.
    void steps_data() {
        // `outcome`: the current title, or how the last step failed; `stored`: the titles in the
        // file afterwards, sorted
        columns<int, QString, int, QString, QString>(
            {"books", "steps", "position", "outcome", "stored"});
        const int bof = RecordSet::PositionBof, eof = RecordSet::PositionEof, none = -1;
        const QString noRow = "レコードがありません。";
        const QString noCurrent = "現在のレコードがありません";
        const QString abc = "a,b,c";
        row("back from EOF", 3, "next next next previous", 3, "c", abc);
        row("past the end", 3, "next next next next", eof, noCurrent, abc);
        row("before the start", 3, "previous previous", bof, noCurrent, abc);
        row("to a position", 3, "2 4", 2, "レコード位置 4 はありません", abc);
        row("deleted slot", 3, "2 delete read", none, "現在のレコードは削除", "a,c");
        row("delete, move on", 3, "2 delete next", 2, "c", "a,c");
        row("delete last", 3, "3 delete next read", eof, noCurrent, "a,b");
        row("delete the only", 1, "delete last", none, noRow, "");
        row("empty, next", 0, "next", none, noCurrent, "");
        row("empty, add", 0, "add =x update", 1, "x", "x");
        row("refused move", 3, "=b next read", 1, "b", abc);
        row("refused update", 3, "=b update read", 1, "b", abc);
        row("then saved", 3, "=b update =z next", 2, "b", "b,c,z");
        row("refused insert, move", 3, "add =b first read", 4, "b", abc);
        row("refused insert, add", 3, "add =b add read", 4, "b", abc);
        row("refused insert, update", 3, "add =b update =d update", 4, "d", "a,b,c,d");
        row("untouched new row", 3, "add update previous", 3, "c", abc);
        row("cancelled new row", 3, "2 add =d cancel", 2, "b", abc);
        row("cancelled change", 3, "2 =d cancel", 2, "b", abc);
        row("added row stays last", 3, "add =d first last", 4, "d", "a,b,c,d");
        row("written again by rowid", 3, "add =d update =e first", 1, "a", "a,b,c,e");
        row("sorted by requery", 3, "add =d update requery", 1, "d", "a,b,c,d");
    }

    void steps() {
        const int position = cell<int>("position");
        Catalogue catalogue(QStringList{"a", "b", "c"}.mid(0, cell<int>("books")));
        catalogue.exec("CREATE UNIQUE INDEX one_title ON BOOK (題名)");
        RecordSet &set = catalogue.set;
        QSignalSpy moved(&set, &RecordSet::moveComplete);
        QString failure;
        for (const QString &step : text("steps").split(u' ')) {
            const qsizetype moves = moved.count();
            failure = failureOf([&] { catalogue.perform(step); });
            QVERIFY(failure.isEmpty() ||
                    moved.count() == moves); // a refused step announces nothing
        }
        QCOMPARE(set.absolutePosition(), position);
        QCOMPARE(set.bof(), !set.recordCount() || position == RecordSet::PositionBof);
        QCOMPARE(set.eof(), !set.recordCount() || position == RecordSet::PositionEof);
        const QString seen = failure.isEmpty() ? catalogue.title() : failure;
        QVERIFY2(seen.startsWith(text("outcome")), qPrintable(seen));
        QTEST(catalogue.value("SELECT group_concat(題名, ',') FROM BOOK"), "stored");
    }

    // More books than are read at once, "b000" first in the file and last in the register's
    // order: a book is the book of its position however it is reached, and another
    // connection's later writes neither shift nor add books.
    void readOnDemand_data() {
        columns<QString, QString, QString, int>(
            {"source", "steps", "title", "count"});               // at the end
        const QString books = "select * from BOOK order by 題名"; // as stored
        const QString shelf = BookRegister::RecordSource;
        row("register's order, last", shelf, "last previous", "b001", 562);
        row("title order, position", books, "300", "b299", 562);
        row("deleted elsewhere", books, "elsewhere 401", "", 562);
        row("after deleted elsewhere", books, "elsewhere 402", "b401", 562);
        row("filtered", shelf, "filter", "b099", 100);
        row("written", shelf, "300 =x update requery 300", "x", 562);
    }

    void readOnDemand() {
        Catalogue catalogue({}, {});
        catalogue.exec("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < "
                       "561) INSERT INTO BOOK (題名, 著者NO) SELECT printf('b%03d', i), 562 - i "
                       "FROM n");
        catalogue.set.open(catalogue.connection, text("source"));
        for (const QString &step : text("steps").split(u' '))
            catalogue.perform(step);
        QTEST(catalogue.title(), "title");
        QTEST(catalogue.set.recordCount(), "count");
    }

    void refusedFilterKeepsThePrevious() {
        Catalogue catalogue({"abc", "ABD", "吾輩は猫である"}, "TQ1");
        catalogue.set.setFilter("著者名 LIKE '*'"); // author 3 has no CHOSHA row: a null name
        for (const char *refused : {"題名 LIKE 'it's*'", "無い列 LIKE 'a*'"})
            QVERIFY(!failureOf([&] { catalogue.set.setFilter(refused); }).isEmpty());
        QCOMPARE(catalogue.set.filter(), "著者名 LIKE '*'");
        QCOMPARE(catalogue.set.recordCount(), 2);
    }

    // An engine error reaches the user in Japanese; only a name the engine gives is kept.
    void engineErrorsInJapanese() {
        QCOMPARE(describeSqlError("attempt to write a readonly database Unable to fetch row"),
                 "読み取り専用のため書き込めません（ファイルの権限か、ほかのプログラムが置き換えて"
                 "いないかを確かめてください）");
        QCOMPARE(describeSqlError("no such table: TQ3 Unable to execute statement"),
                 "必要な表がありません（データベースの形式が違います）: TQ3");
    }
};

QTEST_GUILESS_MAIN(TestRecordSet)
#include "tst_recordset.moc"
