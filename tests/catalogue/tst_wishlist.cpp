#include "base/Failure.h"
#include "catalogue/WishList.h"
#include "db/Connection.h"
#include "maintenance/OwnDataFile.h"
#include "support/Catalogues.h"
#include "support/DataFolder.h"
#include "support/DataRows.h"
#include "support/TestFiles.h"
#include "support/TestSql.h"

#include <QtTest>

using namespace hondana;
using test::u8;

namespace {

const QString OwnedIsbn = u8("9784101010014");

// A catalogue whose first book is 「ノルウェイの森」 by 村上 春樹 with OwnedIsbn.
void prepareOwnedBook(const QString &folder) {
    test::makeCatalogue(folder, 3);
    test::SqlFile(folder + u8("/TOSHO.MDB"))
        .exec(u8("UPDATE CHOSHA SET 著者名 = '村上 春樹' WHERE 著者NO = 1; UPDATE BOOK SET 題名 = "
                 "'ノルウェイの森', 著者NO = 1 WHERE rowid = 1; INSERT INTO book_isbn VALUES (1, "
                 "'%1')")
                  .arg(OwnedIsbn));
}

QStringList titles(const QList<Wish> &wishes) {
    QStringList titles;
    for (const Wish &wish : wishes)
        titles << wish.title;
    return titles;
}

} // namespace

class TestWishList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A wish and whether registering the first book fulfils it.
    void fulfilledBy_data() {
        test::columns<QString, QString, QString, bool>({"title", "author", "isbn", "fulfilled"});
        test::row("same ISBN, other title", u8("森"), u8("誰か"), OwnedIsbn, true);
        test::row("title and author folded", u8("ﾉﾙｳｪｲの森"), u8("村上春樹"), QString(), true);
        test::row("hiragana, full-width blank", u8("のるうぇいの森"), u8("村上　春樹"), QString(),
                  true);
        test::row("title, no author given", u8("ノルウェイの森"), QString(), QString(), true);
        test::row("other ISBN, same title and author", u8("ノルウェイの森"), u8("村上春樹"),
                  u8("9784062748681"), true);
        test::row("same title, other author", u8("ノルウェイの森"), u8("村上龍"), QString(), false);
        test::row("other title, same author", u8("海辺のカフカ"), u8("村上春樹"), QString(), false);
        test::row("title is a part only", u8("ノルウェイ"), QString(), QString(), false);
    }
    void fulfilledBy() {
        test::DataFolder folder;
        prepareOwnedBook(folder.path());
        Connection connection(u8("Data Source=TOSHO.MDB;"));
        connection.open();
        WishList wishes(connection);
        Wish wish;
        wish.title = test::text("title");
        wish.author = test::text("author");
        wish.isbn = Isbn::tryFromText(test::text("isbn"));
        wish.id = wishes.add(wish);
        wishes.add({0, u8("ほかの本"), {}, {}, {}, 2, {}});
        const QList<Wish> found = wishes.fulfilledBy({2, 1, 3});
        QCOMPARE(titles(found),
                 test::cell<bool>("fulfilled") ? QStringList{wish.title} : QStringList());
    }

    // Adding, changing and striking keep the list in priority order, then by title in Japanese
    // order; what cannot be stored is refused and changes nothing.
    void editing() {
        test::DataFolder folder;
        test::makeCatalogue(folder.path(), 1);
        Connection connection(u8("Data Source=TOSHO.MDB;"));
        connection.open();
        WishList wishes(connection);
        const qint64 ka = wishes.add({0, u8("かがみ"), {}, {}, {}, 2, {}});
        wishes.add({0, u8("アオゾラ"), {}, {}, {}, 2, {}});
        const qint64 low = wishes.add({0, u8("あいだ"), {}, {}, {}, 3, {}});
        const qint64 high = wishes.add({0, u8("ん"), {}, {}, {}, 1, {}});
        QCOMPARE(titles(wishes.all()),
                 (QStringList{u8("ん"), u8("アオゾラ"), u8("かがみ"), u8("あいだ")}));
        QCOMPARE(wishes.all().first().addedOn, QDate::currentDate());

        Wish changed = wishes.all().at(2);
        QCOMPARE(changed.id, ka);
        changed.priority = 1;
        changed.note = u8("文庫で");
        wishes.edit(changed);
        QCOMPARE(wishes.all().first(), changed);

        wishes.remove({low, high});
        QCOMPARE(titles(wishes.all()), (QStringList{u8("かがみ"), u8("アオゾラ")}));
        const QList<Wish> before = wishes.all();
        for (const Wish &refused :
             {Wish{0, u8("  "), {}, {}, {}, 2, {}}, Wish{0, u8("題"), {}, {}, {}, 4, {}},
              Wish{low, u8("消した本"), {}, {}, {}, 2, {}}}) {
            QVERIFY_THROWS_EXCEPTION(Failure,
                                     refused.id ? wishes.edit(refused) : void(wishes.add(refused)));
        }
        QCOMPARE(wishes.all(), before);
    }

    // The values of a wish line in our backup file, as backup writes them or as a hostile file
    // holds them; `title` empty for a line that is refused.
    void wishLine_data() {
        test::columns<QStringList, QString>({"values", "title"});
        const auto values = [](const char *isbn, const char *priority, const char *date) {
            return QStringList{u8(priority), u8(date), u8("題"), u8("著者"), u8(isbn), u8("メモ")};
        };
        test::row("as written", values("9784101010014", "1", "2026-12-01"), u8("題"));
        test::row("no ISBN", values("", "3", "2026-12-01"), u8("題"));
        test::row("priority 0", values("", "0", "2026-12-01"), QString());
        test::row("priority with a blank", values("", " 2", "2026-12-01"), QString());
        test::row("no date", values("", "2", "2026-02-30"), QString());
        test::row("ISBN-10", values("4101010013", "2", "2026-12-01"), QString());
        test::row("check digit wrong", values("9784101010015", "2", "2026-12-01"), QString());
        test::row("no title", QStringList{u8("2"), u8("2026-12-01"), {}, {}, {}, {}}, QString());
        test::row("a value short", values("", "2", "2026-12-01").mid(1), QString());
    }
    void wishLine() {
        const QStringList values = test::cell<QStringList>("values");
        const std::optional<Wish> wish = owndatafile::wishFromValues(values);
        QCOMPARE(wish ? wish->title : QString(), test::text("title"));
        if (wish)
            QCOMPARE(owndatafile::wishValues(*wish), values);
    }
};

QTEST_GUILESS_MAIN(TestWishList)
#include "tst_wishlist.moc"
