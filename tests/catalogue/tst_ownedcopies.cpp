#include "catalogue/OwnedCopies.h"
#include "catalogue/StoredIsbns.h"
#include "db/Connection.h"
#include "support/Catalogues.h"
#include "support/DataFolder.h"
#include "support/DataRows.h"
#include "support/TestFiles.h"
#include "support/TestSql.h"

#include <QtTest>

using namespace hondana;
using test::u8;

class TestOwnedCopies : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A book is the same by ISBN, or by title, ｼﾘｰｽﾞ, SEQNO and author as the search folds them;
    // another volume, another author, or the book a copy began from is not.
    void findsTheSameBook_data() {
        test::columns<QString, QString, int, QString, QString, qint64, qint64>(
            {"title", "volume", "seqNo", "author", "isbn", "ignored", "found"});
        test::row("same ISBN", u8("別の題"), QString(), 0, QString(), u8("4-10-101013-7"), 0ll,
                  1ll);
        test::row("folded title, volume and author", u8("ｎａｒｕｔｏ "), u8("１"), 1,
                  u8("きしもと"), QString(), 0ll, 2ll);
        test::row("another volume", u8("NARUTO"), u8("1"), 2, u8("キシモト"), QString(), 0ll, 0ll);
        test::row("another author", u8("NARUTO"), u8("1"), 1, u8("夏目漱石"), QString(), 0ll, 0ll);
        test::row("the volume a copy began from", u8("NARUTO"), u8("1"), 1, u8("キシモト"),
                  QString(), 2ll, 4ll);
        test::row("no author", u8("むめい"), QString(), 0, QString(), QString(), 0ll, 3ll);
        test::row("not held", u8("こころ"), QString(), 2, u8("夏目漱石"), QString(), 0ll, 0ll);
    }
    void findsTheSameBook() {
        test::DataFolder folder;
        test::makeCatalogue(folder.path(), 0);
        test::SqlFile(folder.filePath("TOSHO.MDB"))
            .exec(u8("INSERT INTO CHOSHA (著者NO, 著者名) VALUES (9001, '夏目漱石'), (9002, "
                     "'キシモト  '), "
                     "(9003, 'ｷｼﾓﾄ');"
                     "INSERT INTO BOOK (rowid, 題名, ｼﾘｰｽﾞ, SEQNO, 著者NO) VALUES "
                     "(1, 'こころ', NULL, 1, 9001), (2, 'NARUTO', '1', 1, 9002), (3, 'ムメイ', "
                     "NULL, NULL, NULL), (4, 'naruto', '1', 1, 9003)"));
        Connection connection(QStringLiteral("Data Source=TOSHO.MDB;"), folder.path());
        connection.open();
        StoredIsbns(connection).store(1, Isbn::fromText(u8("978-4-10-101013-7")));
        BookIdentity book{test::text("title"),
                          test::text("volume"),
                          test::cell<int>("seqNo"),
                          test::text("author"),
                          Isbn::fromText(test::text("isbn")),
                          {}};
        const qint64 ignored = test::cell<qint64>("ignored");
        const std::optional<OwnedCopy> copy =
            findOwnedCopy(connection, book, ignored ? QList<qint64>{ignored} : QList<qint64>{});
        QCOMPARE(copy ? copy->rowId : 0, test::cell<qint64>("found"));
        if (copy)
            QVERIFY(copy->question().contains(copy->title));
    }
};

QTEST_GUILESS_MAIN(TestOwnedCopies)
#include "tst_ownedcopies.moc"
