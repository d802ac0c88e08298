#include "base/FileNames.h"
#include "db/Connection.h"
#include "db/RecordSet.h"
#include "register/MEISAI.h"
#include "support/DataFolder.h"

#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>
#include <memory>

using namespace hondana;

namespace {

// The register's own record source.
const QString RegisterSql = hondana::MEISAI::RecordSource;

// A working folder with a fresh catalogue holding `titles` as books of author 1, 2, 3, ...
// (so the register's order is the order given), opened through the catalogue's data-link file.
struct Catalogue {
    test::DataFolder folder;
    Connection connection{QStringLiteral("FILE NAME=Karobu.udl")};

    explicit Catalogue(const QStringList &titles = {}) {
        folder.copyShipped(files::CatalogueTemplate, files::Catalogue);
        connection.open();
        exec(QStringLiteral("INSERT INTO CHOSHA (著者NO, 著者名, 国) VALUES (1, '夏目漱石', "
                            "'日本'), (2, '森鴎外', '日本')"));
        for (int i = 0; i < titles.size(); ++i) {
            QSqlQuery q(connection.database());
            q.prepare(QStringLiteral("INSERT INTO BOOK (SEQNO, 題名, 著者NO, 価格, 購入日) "
                                     "VALUES (?, ?, ?, ?, ?)"));
            q.addBindValue(1);
            q.addBindValue(titles.at(i));
            q.addBindValue(i + 1);
            q.addBindValue(1000 + i);
            q.addBindValue(QStringLiteral("2024-04-0%1").arg(i % 9 + 1));
            if (!q.exec())
                qFatal("%s", qPrintable(q.lastError().text()));
        }
    }

    void exec(const QString &sql) {
        QSqlQuery q(connection.database());
        if (!q.exec(sql))
            qFatal("%s", qPrintable(q.lastError().text()));
    }

    QVariant scalar(const QString &sql) {
        QSqlQuery q(connection.database());
        if (!q.exec(sql) || !q.next())
            return {};
        return q.value(0);
    }

    std::unique_ptr<RecordSet> open(const QString &source = RegisterSql) {
        auto set = std::make_unique<RecordSet>();
        set->open(connection, source);
        return set;
    }

    // Makes the engine itself refuse a title, as a constraint of the file would.
    void refuseTitle(const QString &title) {
        for (const char *when : {"INSERT", "UPDATE"})
            exec(QStringLiteral("CREATE TRIGGER refuse_%1 BEFORE %1 ON BOOK WHEN NEW.題名 = '%2' "
                                "BEGIN SELECT RAISE(ABORT, 'title refused'); END")
                     .arg(QLatin1String(when), title));
    }
};

QString failureOf(const std::function<void()> &call) {
    try {
        call();
    } catch (const Failure &failure) {
        return failure.message();
    }
    return {};
}

QString title(const RecordSet &set) {
    return set.value(QStringLiteral("題名")).toString();
}

} // namespace

class TestRecordSet : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void opensSources_data();
    void opensSources();
    void openFailureNamesTheSource();
    void positionsAndEdges();
    void emptySet();
    void nullsAreDistinct();
    void validatesValues_data();
    void validatesValues();
    void moveWritesThePendingChange();
    void refusedSaveKeepsTheEditPending();
    void saveCheckRefuses();
    void addNewSavesFirstOrDoesNotStart();
    void addedRowsStayAtTheEndUntilRequery();
    void untouchedNewRowIsDropped();
    void cancelUpdate();
    void deleteRows_data();
    void deleteRows();
    void readOnlySourcesRefuseWrites_data();
    void readOnlySourcesRefuseWrites();
    void filter();
    void signals();
};

void TestRecordSet::opensSources_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("updatable");
    QTest::addColumn<int>("fields");
    QTest::newRow("register SQL") << RegisterSql << true << 20;
    QTest::newRow("table") << "BOOK" << true << 20;
    QTest::newRow("table in other case") << "book" << true << 20;
    QTest::newRow("bracketed table") << "[BOOK]" << true << 20;
    QTest::newRow("master SQL") << "select 著者NO,著者名,国 from CHOSHA Order by 著者NO" << true
                                << 3;
    QTest::newRow("stored query") << "TQ1" << false << 24;
    QTest::newRow("right join") << "select BOOK.題名, CHOSHA.著者名 from CHOSHA RIGHT JOIN BOOK "
                                   "ON CHOSHA.著者NO = BOOK.著者NO"
                                << false << 2;
    QTest::newRow("bracketed names")
        << "select [題名], [SEQNO] from [BOOK] where [SEQNO] = 1" << true << 2;
    QTest::newRow("expression") << "select count(*) AS n from BOOK" << false << 1;
}

void TestRecordSet::opensSources() {
    QFETCH(QString, source);
    QFETCH(bool, updatable);
    QFETCH(int, fields);
    Catalogue catalogue({QStringLiteral("こころ"), QStringLiteral("舞姫")});
    const auto set = catalogue.open(source);
    QCOMPARE(set->isUpdatable(), updatable);
    QCOMPARE(set->fieldNames().size(), fields);
    QVERIFY(!set->fieldNames().contains(QStringLiteral("hondana_rowid")));
    QVERIFY(set->recordCount() >= 1);
    QCOMPARE(set->absolutePosition(), 1);
    if (source == RegisterSql) {
        QCOMPARE(set->fieldNames().first(), QStringLiteral("SEQNO"));
        QCOMPARE(set->fieldNames().at(15), QStringLiteral("価格"));
        QCOMPARE(title(*set), QStringLiteral("こころ"));
    }
}

void TestRecordSet::openFailureNamesTheSource() {
    Catalogue catalogue;
    RecordSet set;
    const QString missing = failureOf([&] { set.open(catalogue.connection, "NOSUCH"); });
    QVERIFY2(missing.contains(QStringLiteral("NOSUCH")), qPrintable(missing));
    const QString badSql =
        failureOf([&] { set.open(catalogue.connection, "select 無い列 from BOOK"); });
    QVERIFY2(!badSql.isEmpty(), "bad SQL was accepted");
    QVERIFY(!set.isOpen());
}

void TestRecordSet::positionsAndEdges() {
    Catalogue catalogue({"a", "b", "c"});
    const auto set = catalogue.open();
    QCOMPARE(set->recordCount(), 3);
    QVERIFY(!set->bof() && !set->eof());
    set->moveNext();
    set->moveNext();
    QCOMPARE(set->absolutePosition(), 3);
    QCOMPARE(title(*set), QStringLiteral("c"));
    set->moveNext();
    QVERIFY(set->eof() && !set->bof());
    QCOMPARE(set->absolutePosition(), int(RecordSet::PositionEof));
    QVERIFY(!failureOf([&] { set->value("題名"); }).isEmpty());
    QVERIFY(!failureOf([&] { set->moveNext(); }).isEmpty());
    set->movePrevious();
    QCOMPARE(set->absolutePosition(), 3);
    set->moveFirst();
    set->movePrevious();
    QVERIFY(set->bof());
    QCOMPARE(set->absolutePosition(), int(RecordSet::PositionBof));
    QVERIFY(!failureOf([&] { set->movePrevious(); }).isEmpty());
    set->moveNext();
    QCOMPARE(title(*set), QStringLiteral("a"));
    set->moveTo(2);
    QCOMPARE(title(*set), QStringLiteral("b"));
    QVERIFY(!failureOf([&] { set->moveTo(4); }).isEmpty());
    QVERIFY(!failureOf([&] { set->moveTo(0); }).isEmpty());
    QCOMPARE(set->absolutePosition(), 2);
    set->moveLast();
    QCOMPARE(title(*set), QStringLiteral("c"));
}

void TestRecordSet::emptySet() {
    Catalogue catalogue;
    const auto set = catalogue.open();
    QCOMPARE(set->recordCount(), 0);
    QVERIFY(set->bof() && set->eof());
    QCOMPARE(set->absolutePosition(), int(RecordSet::PositionUnknown));
    QCOMPARE(failureOf([&] { set->moveFirst(); }), QStringLiteral("レコードがありません。"));
    QCOMPARE(failureOf([&] { set->moveLast(); }), QStringLiteral("レコードがありません。"));
    QVERIFY(!failureOf([&] { set->moveNext(); }).isEmpty());
    QVERIFY(!failureOf([&] { set->deleteCurrent(); }).isEmpty());
    // Adding to an empty table works.
    set->addNew();
    set->setValue("題名", "最初の一冊");
    set->update();
    QCOMPARE(catalogue.scalar("SELECT 題名 FROM BOOK").toString(), QStringLiteral("最初の一冊"));
}

void TestRecordSet::nullsAreDistinct() {
    Catalogue catalogue;
    catalogue.exec(
        "INSERT INTO BOOK (題名, 価格, 版数, 購入日) VALUES ('', 0, NULL, '1899-12-30')");
    const auto set = catalogue.open();
    const QVariant empty = set->value("題名");
    const QVariant zero = set->value("価格");
    const QVariant null = set->value("版数");
    QVERIFY(!empty.isNull() && empty.toString().isEmpty());
    QVERIFY(!zero.isNull() && zero.toLongLong() == 0);
    QVERIFY(null.isNull());
    QVERIFY(set->value("内容").isNull());
    QCOMPARE(set->value("購入日"), QVariant(QDate(1899, 12, 30)));
}

void TestRecordSet::validatesValues_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("refusal"); // empty: accepted
    const QString title50 = QStringLiteral("「題名」は50バイト（全角25文字）までです。");
    QTest::newRow("25 full-width") << "題名" << QVariant(QString(25, u'漢')) << "";
    QTest::newRow("26 full-width") << "題名" << QVariant(QString(26, u'漢')) << title50;
    QTest::newRow("50 ASCII") << "題名" << QVariant(QString(50, u'a')) << "";
    QTest::newRow("51 ASCII") << "題名" << QVariant(QString(51, u'a')) << title50;
    QTest::newRow("50 half-width kana") << "題名" << QVariant(QString(50, u'ｱ')) << "";
    QTest::newRow("mixed 49 bytes plus a full-width")
        << "題名" << QVariant(QString(49, u'a') + u'漢') << title50;
    QTest::newRow("wave dash is held") << "題名" << QVariant(QStringLiteral("〜")) << "";
    QTest::newRow("Hangul cannot be held")
        << "題名" << QVariant(QStringLiteral("한국")) << "「題名」に使えない文字「한」";
    QTest::newRow("emoji cannot be held")
        << "内容" << QVariant(QStringLiteral("寿司🍣")) << "「内容」に使えない文字";
    QTest::newRow("series width 10")
        << "ｼﾘｰｽﾞ" << QVariant(QString(6, u'上')) << "「ｼﾘｰｽﾞ」は10バイト（全角5文字）までです。";
    QTest::newRow("32-bit maximum") << "価格" << QVariant::fromValue<qint64>(2147483647) << "";
    QTest::newRow("above 32 bits")
        << "価格" << QVariant::fromValue<qint64>(2147483648LL) << "「価格」は -2,147,483,648 から";
    QTest::newRow("below 32 bits")
        << "著者NO" << QVariant::fromValue<qint64>(-2147483649LL) << "「著者NO」は";
    QTest::newRow("typed number text") << "価格" << QVariant("1,500") << "";
    QTest::newRow("text in a number") << "価格" << QVariant("abc") << "「価格」";
    QTest::newRow("fraction") << "価格" << QVariant(1.5) << "「価格」には整数";
    QTest::newRow("whole double") << "価格" << QVariant(3.0) << "";
    QTest::newRow("date") << "発行日" << QVariant(QDate(2024, 2, 29)) << "";
    QTest::newRow("invalid date") << "発行日" << QVariant(QDate()) << "「発行日」";
    QTest::newRow("impossible typed date") << "発行日" << QVariant("2024/02/30") << "「発行日」";
    QTest::newRow("null") << "価格" << QVariant() << "";
}

void TestRecordSet::validatesValues() {
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    QFETCH(QString, refusal);
    Catalogue catalogue({"old"});
    const auto set = catalogue.open();
    const QVariant before = set->value(field);
    const QString message = failureOf([&] { set->setValue(field, value); });
    if (refusal.isEmpty()) {
        QVERIFY2(message.isEmpty(), qPrintable(message));
        QVERIFY(set->isDirty());
        set->update();
        set->requery();
        const QVariant stored = set->value(field);
        if (value.isNull())
            QVERIFY(stored.isNull());
        else if (value.typeId() == QMetaType::QString && field == QStringLiteral("価格"))
            QCOMPARE(stored.toLongLong(), 1500);
        else if (value.typeId() == QMetaType::Double)
            QCOMPARE(stored.toLongLong(), qint64(value.toDouble()));
        else
            QCOMPARE(stored, value);
    } else {
        QVERIFY2(message.startsWith(refusal), qPrintable(message));
        QVERIFY(!set->isDirty());
        QCOMPARE(set->value(field), before);
    }
}

void TestRecordSet::moveWritesThePendingChange() {
    Catalogue catalogue({"a", "b"});
    const auto set = catalogue.open();
    set->setValue("題名", "改題");
    set->setValue("発行日", QDate(2001, 2, 3));
    QCOMPARE(catalogue.scalar("SELECT 題名 FROM BOOK WHERE 著者NO = 1").toString(), "a");
    set->moveNext();
    QCOMPARE(catalogue.scalar("SELECT 題名 FROM BOOK WHERE 著者NO = 1").toString(), "改題");
    // Dates are stored as text without a time of day.
    QCOMPARE(catalogue.scalar("SELECT 発行日 FROM BOOK WHERE 著者NO = 1").toString(), "2001-02-03");
    set->movePrevious();
    QCOMPARE(title(*set), QStringLiteral("改題"));
    QVERIFY(!set->isDirty());
}

void TestRecordSet::refusedSaveKeepsTheEditPending() {
    Catalogue catalogue({"a", "b"});
    catalogue.refuseTitle("NG");
    const auto set = catalogue.open();
    set->setValue("題名", "NG");
    const QString message = failureOf([&] { set->moveNext(); });
    QVERIFY2(message.contains(QStringLiteral("title refused")), qPrintable(message));
    QCOMPARE(set->absolutePosition(), 1);
    QVERIFY(set->isDirty());
    QCOMPARE(title(*set), QStringLiteral("NG"));
    QVERIFY(!failureOf([&] { set->updateBatch(); }).isEmpty());
    QCOMPARE(catalogue.scalar("SELECT 題名 FROM BOOK WHERE 著者NO = 1").toString(), "a");
    set->setValue("題名", "OK");
    set->moveNext();
    QCOMPARE(catalogue.scalar("SELECT 題名 FROM BOOK WHERE 著者NO = 1").toString(), "OK");
}

void TestRecordSet::saveCheckRefuses() {
    Catalogue catalogue({"a", "b"});
    const auto set = catalogue.open();
    int checks = 0;
    set->setSaveCheck([&] {
        ++checks;
        QCOMPARE(set->currentRowId(),
                 catalogue.scalar("SELECT rowid FROM BOOK WHERE 題名 = 'a'").toLongLong());
        if (set->value("SEQNO").toLongLong() == 99)
            throw Failure("duplicate");
    });
    set->setValue("SEQNO", 99);
    QCOMPARE(failureOf([&] { set->moveNext(); }), QStringLiteral("duplicate"));
    QCOMPARE(checks, 1);
    QVERIFY(set->isDirty());
    set->setDeleteCheck([] { throw Failure("referenced"); });
    set->cancelUpdate();
    QCOMPARE(failureOf([&] { set->deleteCurrent(); }), QStringLiteral("referenced"));
    QCOMPARE(catalogue.scalar("SELECT count(*) FROM BOOK").toInt(), 2);
    QVERIFY(set->hasCurrent());
}

void TestRecordSet::addNewSavesFirstOrDoesNotStart() {
    Catalogue catalogue({"a", "b"});
    catalogue.refuseTitle("NG");
    const auto set = catalogue.open();
    set->setValue("題名", "a2");
    set->addNew();
    QCOMPARE(catalogue.scalar("SELECT 題名 FROM BOOK WHERE 著者NO = 1").toString(), "a2");
    QCOMPARE(set->recordCount(), 3);
    QCOMPARE(set->absolutePosition(), 3);
    QVERIFY(set->isNewRow());
    QVERIFY(set->value("題名").isNull());
    set->setValue("題名", "NG");
    QVERIFY(!failureOf([&] { set->addNew(); }).isEmpty());
    QCOMPARE(set->recordCount(), 3);
    QCOMPARE(set->absolutePosition(), 3);
    QVERIFY(set->isDirty());
    QCOMPARE(title(*set), QStringLiteral("NG"));
    QCOMPARE(catalogue.scalar("SELECT count(*) FROM BOOK").toInt(), 2);
}

void TestRecordSet::addedRowsStayAtTheEndUntilRequery() {
    Catalogue catalogue({"b", "c"});
    const auto set = catalogue.open();
    set->addNew();
    set->setValue("題名", "a");
    set->setValue("著者NO", 0); // sorts first in the register's order
    set->update();
    QCOMPARE(set->absolutePosition(), 3);
    set->moveFirst();
    QCOMPARE(title(*set), QStringLiteral("b"));
    set->moveLast();
    QCOMPARE(title(*set), QStringLiteral("a"));
    QVERIFY(!set->isNewRow());
    set->setValue("題名", "a'"); // a second write goes to the same row, by rowid
    set->update();
    QCOMPARE(catalogue.scalar("SELECT count(*) FROM BOOK").toInt(), 3);
    set->requery();
    QCOMPARE(title(*set), QStringLiteral("a'"));
    QCOMPARE(set->recordCount(), 3);
}

void TestRecordSet::untouchedNewRowIsDropped() {
    Catalogue catalogue({"a", "b"});
    const auto set = catalogue.open();
    set->addNew();
    set->updateBatch(); // nothing typed: nothing to write
    QCOMPARE(catalogue.scalar("SELECT count(*) FROM BOOK").toInt(), 2);
    set->movePrevious();
    QCOMPARE(title(*set), QStringLiteral("b"));
    QCOMPARE(set->recordCount(), 2);
    set->addNew();
    set->moveFirst();
    QCOMPARE(set->recordCount(), 2);
    QCOMPARE(catalogue.scalar("SELECT count(*) FROM BOOK").toInt(), 2);
}

void TestRecordSet::cancelUpdate() {
    Catalogue catalogue({"a", "b"});
    const auto set = catalogue.open();
    set->moveNext();
    set->setValue("題名", "changed");
    set->cancelUpdate();
    QVERIFY(!set->isDirty());
    QCOMPARE(title(*set), QStringLiteral("b"));
    set->addNew();
    set->setValue("題名", "new");
    set->cancelUpdate();
    QCOMPARE(set->recordCount(), 2);
    QCOMPARE(set->absolutePosition(), 2);
    QCOMPARE(catalogue.scalar("SELECT count(*) FROM BOOK").toInt(), 2);
}

void TestRecordSet::deleteRows_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("deleteAt");
    QTest::addColumn<QString>("afterMoveNext"); // empty: EOF
    QTest::addColumn<QString>("afterMoveLast"); // empty: the move fails
    QTest::newRow("middle") << 3 << 2 << "c"
                            << "c";
    QTest::newRow("first") << 3 << 1 << "b"
                           << "c";
    QTest::newRow("last") << 3 << 3 << ""
                          << "b";
    QTest::newRow("only") << 1 << 1 << ""
                          << "";
}

void TestRecordSet::deleteRows() {
    QFETCH(int, rows);
    QFETCH(int, deleteAt);
    QFETCH(QString, afterMoveNext);
    QFETCH(QString, afterMoveLast);
    const QStringList titles = QStringList{"a", "b", "c"}.mid(0, rows);
    Catalogue catalogue(titles);
    const auto set = catalogue.open();
    set->moveTo(deleteAt);
    set->deleteCurrent();
    QCOMPARE(catalogue.scalar("SELECT count(*) FROM BOOK").toInt(), rows - 1);
    QCOMPARE(set->recordCount(), rows - 1);
    QVERIFY(!set->hasCurrent());
    QCOMPARE(set->absolutePosition(), int(RecordSet::PositionUnknown));
    QVERIFY(!failureOf([&] { set->value("題名"); }).isEmpty());
    set->moveNext();
    if (afterMoveNext.isEmpty()) {
        QVERIFY(set->eof());
    } else {
        QCOMPARE(title(*set), afterMoveNext);
    }
    const QString failure = failureOf([&] { set->moveLast(); });
    if (afterMoveLast.isEmpty()) {
        QCOMPARE(failure, QStringLiteral("レコードがありません。"));
    } else {
        QVERIFY(failure.isEmpty());
        QCOMPARE(title(*set), afterMoveLast);
    }
}

void TestRecordSet::readOnlySourcesRefuseWrites_data() {
    QTest::addColumn<QString>("source");
    QTest::newRow("stored query") << "TQ1";
    QTest::newRow("join") << "select 題名, 著者名 from BOOK, CHOSHA where BOOK.著者NO = "
                             "CHOSHA.著者NO";
}

void TestRecordSet::readOnlySourcesRefuseWrites() {
    QFETCH(QString, source);
    Catalogue catalogue({"a"});
    const auto set = catalogue.open(source);
    QVERIFY(!set->isUpdatable());
    const QString refusal = QStringLiteral("読み取り専用");
    QVERIFY(failureOf([&] { set->setValue("題名", "x"); }).contains(refusal));
    QVERIFY(failureOf([&] { set->addNew(); }).contains(refusal));
    QVERIFY(failureOf([&] { set->deleteCurrent(); }).contains(refusal));
    QCOMPARE(catalogue.scalar("SELECT 題名 FROM BOOK").toString(), "a");
}

void TestRecordSet::filter() {
    Catalogue catalogue({"abc", "ABD", "xyz", "吾輩は猫である"});
    const auto set = catalogue.open("TQ1");
    set->setFilter("題名 LIKE 'ab*'");
    QCOMPARE(set->recordCount(), 2);
    QCOMPARE(set->absolutePosition(), 1);
    set->setFilter("題名 LIKE '吾輩*' AND 著者名 LIKE '*'");
    QCOMPARE(set->recordCount(), 0); // author 4 has no CHOSHA row: null name
    set->setFilter("題名 LIKE '吾輩*'");
    QCOMPARE(set->recordCount(), 1);
    QVERIFY(!failureOf([&] { set->setFilter("題名 LIKE 'it's*'"); }).isEmpty());
    QVERIFY(!failureOf([&] { set->setFilter("無い列 LIKE 'a*'"); }).isEmpty());
    QCOMPARE(set->filter(), QStringLiteral("題名 LIKE '吾輩*'"));
    QCOMPARE(set->recordCount(), 1);
    set->requery(); // the filter outlives a requery
    QCOMPARE(set->recordCount(), 1);
    set->setFilter("");
    QCOMPARE(set->recordCount(), 4);
}

void TestRecordSet::signals() {
    Catalogue catalogue({"a", "b"});
    RecordSet set;
    QSignalSpy moves(&set, &RecordSet::moveComplete);
    QSignalSpy changes(&set, &RecordSet::willChangeRecord);
    QSignalSpy errors(&set, &RecordSet::errorOccurred);
    set.open(catalogue.connection, RegisterSql);
    QCOMPARE(moves.count(), 1);
    set.moveNext();
    QCOMPARE(moves.count(), 2);
    QVERIFY(!failureOf([&] { set.moveTo(9); }).isEmpty());
    QCOMPARE(moves.count(), 2);
    set.setValue("題名", "z");
    QCOMPARE(changes.count(), 0);
    set.update();
    QCOMPARE(changes.count(), 1);
    QCOMPARE(errors.count(), 0); // direct calls throw; only reportError uses the event
    set.reportError(Failure("x"));
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.first().at(1).toString(), QStringLiteral("x"));
}

QTEST_GUILESS_MAIN(TestRecordSet)
#include "tst_recordset.moc"
