#include "base/Failure.h"
#include "catalogue/BookIntake.h"
#include "catalogue/StoredIsbns.h"
#include "catalogue/StoredReadings.h"
#include "db/Connection.h"
#include "support/Catalogues.h"
#include "support/DataFolder.h"
#include "support/TestFiles.h"
#include "support/TestSql.h"

#include <QtTest>

using namespace hondana;
using test::u8;

namespace {

// "title=雪国;author=川端康成;published=2024-02-30": a book as a test row writes it.
IncomingBook book(const QString &described) {
    IncomingBook b;
    b.title = u8("雪国");
    for (const QString &pair : described.split(u';', Qt::SkipEmptyParts)) {
        const QString key = pair.section(u'=', 0, 0);
        const QString value = pair.section(u'=', 1);
        const QHash<QString, QString IncomingBook::*> texts = {
            {"title", &IncomingBook::title},
            {"volume", &IncomingBook::volume},
            {"author", &IncomingBook::author},
            {"authorReading", &IncomingBook::authorReading},
            {"reading", &IncomingBook::titleReading},
            {"stamp", &IncomingBook::readingStamp},
            {"category", &IncomingBook::category}};
        if (texts.contains(key))
            b.*texts.value(key) = value;
        else if (key == QLatin1String("isbn"))
            b.isbn = Isbn::fromText(value);
        else if (key == QLatin1String("published"))
            b.published =
                QDate(value.section(u'-', 0, 0).toInt(), value.section(u'-', 1, 1).toInt(),
                      value.section(u'-', 2, 2).toInt());
        else
            qFatal("unknown key %s", qPrintable(key));
    }
    return b;
}

// A catalogue of 40 authors (宮沢賢治 among them, padded as a restore pads it) and two books.
void makeCatalogue(const test::DataFolder &folder) {
    test::makeCatalogue(folder.path(), 0);
    test::SqlFile file(folder.filePath(QStringLiteral("TOSHO.MDB")));
    file.exec(u8("UPDATE CHOSHA SET 著者名 = '宮沢賢治    ' WHERE 著者NO = 1"));
    file.exec(u8("INSERT INTO BOOK (題名, ｼﾘｰｽﾞ, 著者NO) VALUES ('銀河鉄道の夜', NULL, 1), "
                 "('ｶﾞｲﾄﾞﾌﾞｯｸ', '上', 1)"));
}

} // namespace

class TestBookIntake : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What the plan finds in one book: the columns refused, the authors to create, the book of
    // the catalogue it looks like.
    void plans_data() {
        QTest::addColumn<QString>("described");
        QTest::addColumn<QString>("refused");
        QTest::addColumn<QString>("newAuthors");
        QTest::addColumn<qint64>("lookAlike");
        auto row = [](const char *name, const char *described, const char *refused,
                      const char *newAuthors, qint64 lookAlike) {
            QTest::newRow(name) << u8(described) << u8(refused) << u8(newAuthors) << lookAlike;
        };
        row("new book, new author", "author=川端康成", "", "川端康成", 0);
        row("author matched without its padding", "author=宮沢賢治", "", "", 0);
        row("same title and author", "title=銀河鉄道の夜;author=宮沢賢治", "", "", 1);
        row("same ISBN, other title", "title=心;isbn=4101010137", "", "", 2);
        row("same title, other volume", "title=銀河鉄道の夜;volume=下;author=宮沢賢治", "", "", 0);
        row("width and kana fold", "title=ガイドブック;volume=上;author=宮沢賢治 ", "", "", 2);
        row("too wide", "title=あいうえおかきくけこさしすせそたちつてとなにぬねのは", "題名", "",
            0);
        row("outside code page 932", "title=𠮷野家", "題名", "", 0);
        row("year past 9999", "published=10000-01-01", "発行日", "", 0);
        row("no title", "title=  ", "題名", "", 0);
        row("reading not kana", "reading=yukiguni", "題名読み", "", 0);
        row("stamp", "stamp=読了", "読書ｽﾀﾝﾌﾟ", "", 0);
        row("author too wide, nothing created",
            "author=あいうえおかきくけこさしすせそたちつてとなにぬねのは", "著者名", "", 0);
    }

    void plans() {
        QFETCH(QString, described);
        QFETCH(QString, refused);
        QFETCH(QString, newAuthors);
        QFETCH(qint64, lookAlike);
        test::DataFolder folder;
        makeCatalogue(folder);
        Connection connection(QStringLiteral("Data Source=TOSHO.MDB;"), folder.path());
        connection.open();
        StoredIsbns(connection).store(2, Isbn::fromText(QStringLiteral("9784101010137")));
        const IntakePlan plan = BookIntake(connection).plan({book(described)});
        QStringList columns;
        for (const IntakeProblem &problem : plan.problems) {
            columns << problem.column;
            QVERIFY(!problem.why.isEmpty());
        }
        QCOMPARE(columns.join(u','), refused);
        QCOMPARE(plan.refused(0), !refused.isEmpty());
        QCOMPARE(plan.mastersToCreate(MasterList::Author, Duplicates::Add).join(u','), newAuthors);
        QCOMPARE(plan.lookAlike(0) ? plan.lookAlike(0)->existingRowId : 0, lookAlike);
        QCOMPARE(plan.addedCount(Duplicates::Skip), refused.isEmpty() && !lookAlike ? 1 : 0);
    }

    // Adding writes the books without a problem, look-alikes as asked, creates each new author
    // once under the next number with the file's reading, and writes all of it or none.
    void adds_data() {
        QTest::addColumn<int>("duplicates");
        QTest::addColumn<bool>("failing");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("newAuthors");
        QTest::newRow("skip look-alikes")
            << int(Duplicates::Skip) << false << QStringList{u8("雪国"), u8("千羽鶴")}
            << u8("41 ダザイ オサム ダザイオサム");
        QTest::newRow("add look-alikes")
            << int(Duplicates::Add) << false
            << QStringList{u8("雪国"), u8("銀河鉄道の夜"), u8("千羽鶴")}
            << u8("41 ダザイ オサム ダザイオサム");
        QTest::newRow("a refused write leaves nothing")
            << int(Duplicates::Add) << true << QStringList{} << QString();
    }

    void adds() {
        QFETCH(int, duplicates);
        QFETCH(bool, failing);
        QFETCH(QStringList, titles);
        QFETCH(QString, newAuthors);
        test::DataFolder folder;
        makeCatalogue(folder);
        if (failing) {
            test::SqlFile file(folder.filePath(QStringLiteral("TOSHO.MDB")));
            // Stands for a write the engine refuses half-way (a full disk).
            QVERIFY(QSqlQuery(file.database())
                        .exec(u8("CREATE TRIGGER refuse BEFORE INSERT ON BOOK WHEN NEW.題名 = "
                                 "'千羽鶴' BEGIN SELECT RAISE(ABORT, 'disk full'); END")));
        }
        Connection connection(QStringLiteral("Data Source=TOSHO.MDB;"), folder.path());
        connection.open();
        const QList<IncomingBook> books = {
            book(
                u8("author=ダザイ オサム;authorReading=ダザイオサム;reading=ユキグニ;category=小説;"
                   "isbn=978-4-04-100010-6")),
            book(u8("title=銀河鉄道の夜;author=宮沢賢治")),
            book(u8("title=;author=漱石")),
            book(u8("title=千羽鶴;author=ﾀﾞｻﾞｲ ｵｻﾑ")),
        };
        QList<qint64> added;
        try {
            added = BookIntake(connection).add(books, Duplicates(duplicates));
            QVERIFY(!failing);
        } catch (const Failure &failure) {
            QVERIFY2(failing, qPrintable(failure.message()));
            QVERIFY(failure.message().contains(QStringLiteral("disk full")));
        }
        const auto db = connection.database();
        QCOMPARE(test::value(db, u8("SELECT group_concat(題名, ',') FROM BOOK WHERE rowid > 2"))
                     .toString(),
                 titles.join(u','));
        QCOMPARE(added.size(), titles.size());
        QCOMPARE(test::value(db, u8("SELECT group_concat(c.著者NO || ' ' || c.著者名 || ' ' || "
                                    "r.reading) FROM CHOSHA c JOIN name_reading r ON "
                                    "r.master_rowid = c.rowid WHERE c.著者NO > 40"))
                     .toString(),
                 newAuthors);
        QCOMPARE(test::value(db, u8("SELECT count(*) FROM BUNYA WHERE 分野名 = '小説'")).toInt(),
                 failing ? 0 : 1);
        if (!failing) {
            // Both spellings of the new author are one entry.
            QCOMPARE(test::value(db, u8("SELECT count(DISTINCT 著者NO) FROM BOOK WHERE 題名 IN "
                                        "('雪国', '千羽鶴')"))
                         .toInt(),
                     1);
            const auto reading = StoredReadings(connection).title(added.first());
            QCOMPARE(reading->text, u8("ユキグニ"));
            QCOMPARE(reading->origin, StoredReadings::Origin::User);
            QCOMPARE(StoredIsbns(connection).forBook(added.first()).digits(),
                     QStringLiteral("9784041000106"));
        }
    }
};

QTEST_GUILESS_MAIN(TestBookIntake)
#include "tst_bookintake.moc"
