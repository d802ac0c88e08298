#include "base/Failure.h"
#include "catalogue/Isbn.h"
#include "catalogue/StoredIsbns.h"
#include "catalogue/StoredReadings.h"
#include "db/Connection.h"
#include "db/OwnTables.h"
#include "support/Catalogues.h"
#include "support/DataFolder.h"
#include "support/DataRows.h"
#include "support/TestFiles.h"
#include "support/TestSql.h"

#include <QtTest>

using namespace hondana;
using test::u8;

class TestIsbn : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What is typed or scanned, and the hyphenated form of the 13 digits kept (the digits without
    // the hyphens) or a fragment of the refusal's message.
    void entry_data() {
        test::columns<QString, QString, QString>({"typed", "hyphenated", "refusal"});
        const QString none;
        test::row("ISBN-10 with hyphens", u8("4-10-101001-3"), u8("978-4-10-101001-4"), none);
        test::row("ISBN-10, full-width", u8("４１０１０１００１３"), u8("978-4-10-101001-4"), none);
        test::row("ISBN-10 ending in x", u8("415200004x"), u8("978-4-15-200004-0"), none);
        test::row("ISBN-10 check digit 0", u8("4-88135-123-0"), u8("978-4-88135-123-9"), none);
        test::row("3-digit publisher", u8("978-4-306-01321-6"), u8("978-4-306-01321-6"), none);
        test::row("blanks", u8(" 978 4800 03004 7 "), u8("978-4-8000-3004-7"), none);
        test::row("full-width hyphens", u8("９７８－４－８８１３５－１２３－９"),
                  u8("978-4-88135-123-9"), none);
        test::row("long-vowel mark as hyphen", u8("978ー4901234566"), u8("978-4-901234-56-6"),
                  none);
        test::row("7-digit publisher", u8("9784951234561"), u8("978-4-9512345-6-1"), none);
        test::row("English group 0", u8("9780877790020"), u8("978-0-87779-002-0"), none);
        test::row("979, group not known", u8("9791099999993"), u8("9791099999993"), none);
        test::row("nothing typed", u8("  "), none, none);
        test::row("ISBN-10 check digit wrong", u8("4101010014"), none, u8("チェックディジット"));
        test::row("ISBN-13 check digit wrong", u8("9784101010015"), none, u8("チェックディジット"));
        test::row("price barcode", u8("1920093008006"), none, u8("値段"));
        test::row("a product barcode", u8("4912345678904"), none, u8("978 か 979"));
        test::row("11 digits", u8("97841010100"), none, u8("10 桁か 13 桁"));
        test::row("X inside ISBN-10", u8("41010100X3"), none, u8("数字 9 桁"));
        test::row("letter in ISBN-13", u8("978410101001A"), none, u8("数字 13 桁"));
    }
    void entry() {
        const QString typed = test::text("typed");
        const QString refusal = test::text("refusal");
        try {
            const Isbn isbn = Isbn::fromText(typed);
            QVERIFY2(refusal.isEmpty(), "accepted what should be refused");
            QCOMPARE(isbn.hyphenated(), test::text("hyphenated"));
            QCOMPARE(isbn.digits(), test::text("hyphenated").remove('-'));
            QCOMPARE(Isbn::fromText(isbn.hyphenated()), isbn);
        } catch (const Failure &failure) {
            QVERIFY2(!refusal.isEmpty(), qPrintable(failure.message()));
            QVERIFY2(failure.message().contains(refusal), qPrintable(failure.message()));
            QVERIFY(Isbn::tryFromText(typed).isEmpty());
        }
    }

    // The store on a catalogue whose tables of ours are of each layout: an older one is brought
    // up to this version on opening, readings kept; a newer one is refused.
    void store_data() {
        test::columns<int>({"layout"});
        test::row("no tables of ours", 0);
        test::row("version 1, with readings", 1);
        test::row("this version", owntables::Version);
        test::row("newer version", owntables::Version + 1);
    }
    void store() {
        const int layout = test::cell<int>("layout");
        test::DataFolder folder;
        test::makeCatalogue(folder.path(), 4);
        const QString path = folder.filePath(QStringLiteral("TOSHO.MDB"));
        {
            test::SqlFile file(path);
            file.exec(u8("INSERT INTO title_reading VALUES (2, 'ニ', 'user')"));
            if (layout < owntables::Version)
                file.exec(u8("DROP TRIGGER book_isbn_owned_rows; DROP TABLE book_isbn; "
                             "UPDATE hondana_version SET version = 1"));
            if (layout == 0)
                file.exec(u8("DROP TABLE title_reading; DROP TABLE name_reading; DROP TABLE "
                             "hondana_version; DROP TRIGGER BOOK_owned_rows; DROP TRIGGER "
                             "CHOSHA_owned_rows; DROP TRIGGER HAKKOU_owned_rows"));
            if (layout > owntables::Version)
                file.exec(u8("UPDATE hondana_version SET version = %1").arg(layout));
        }
        Connection connection(QStringLiteral("Data Source=TOSHO.MDB;"), folder.path());
        connection.open();
        if (layout > owntables::Version) {
            QVERIFY_THROWS_EXCEPTION(Failure, StoredIsbns{connection});
            return;
        }
        StoredIsbns isbns(connection);
        QCOMPARE(test::SqlFile(path).value(u8("SELECT group_concat(version) FROM hondana_version")),
                 QVariant(QString::number(owntables::Version)));
        QCOMPARE(StoredReadings(connection).title(2).has_value(), layout > 0);

        const Isbn first = Isbn::fromText(u8("4-10-101001-3"));
        const Isbn second = Isbn::fromText(u8("9784800030047"));
        isbns.store(3, first);
        isbns.store(1, first);
        isbns.store(2, second);
        isbns.store(2, first);
        isbns.store(4, second);
        QCOMPARE(isbns.forBook(2), first);
        QCOMPARE(isbns.booksWith(first), (QList<qint64>{1, 2, 3}));
        QVERIFY_THROWS_EXCEPTION(Failure, isbns.store(99, first));
        isbns.store(4, Isbn());
        QVERIFY(isbns.forBook(4).isEmpty());
        QVERIFY(isbns.booksWith(second).isEmpty());
        // Inside the caller's transaction the write is part of it.
        test::SqlFile(path).exec(u8("BEGIN; DELETE FROM BOOK WHERE rowid = 2; COMMIT"));
        QSqlDatabase database = connection.database();
        database.transaction();
        isbns.store(4, second);
        database.rollback();
        QCOMPARE(isbns.all(), (QHash<qint64, Isbn>{{1, first}, {3, first}}));
    }
};

QTEST_GUILESS_MAIN(TestIsbn)
#include "tst_isbn.moc"
