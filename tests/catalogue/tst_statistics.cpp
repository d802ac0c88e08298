#include "base/Failure.h"
#include "catalogue/CollectionStatistics.h"
#include "db/Connection.h"
#include "support/Catalogues.h"
#include "support/DataFolder.h"
#include "support/TestFiles.h"
#include "support/TestSql.h"

#include <QtTest>

#include <memory>

using namespace hondana;
using test::u8;

namespace {

// The rows as "count|label:books:amount …", the zero rows left out: the count shows the empty
// periods are there, and leaving them out shows they are zero.
QString described(const QList<StatisticsRow> &rows) {
    QStringList shown;
    for (const StatisticsRow &row : rows) {
        if (row.books != 0 || row.amount != 0)
            shown << QStringLiteral("%1:%2:%3").arg(row.label).arg(row.books).arg(row.amount);
    }
    return QStringLiteral("%1|%2").arg(rows.size()).arg(shown.join(u' '));
}

const QDate Today(2026, 12, 7);

} // namespace

class TestStatistics : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Twelve books whose figures are worked out by hand: trailing blanks on names and stamps, a
    // category number BUNYA lacks and one it holds twice, a book without a purchase date and one
    // with day 0, read books without a finishing date, and unread books bought exactly one
    // month, six months and a year before "today".
    void initTestCase() {
        test::makeCatalogue(m_folder.path(), 0);
        test::SqlFile(m_folder.filePath("TOSHO.MDB"))
            .exec(
                u8("DELETE FROM BUNYA; INSERT INTO BUNYA (分野NO, 分野名) VALUES (1, '文学'), "
                   "(2, '歴史  '), (2, '重複'), (3, 'アート'), (4, 'かがく'); "
                   "INSERT INTO BOOK (購入日, 価格, 分野NO, 購入先, 読書ｽﾀﾝﾌﾟ, 読書完了日) VALUES "
                   "('2024-01-15', 1000, 1, '駅前書店', '済', '2024-02-01'), "
                   "('2024-01-20', 500, 1, '駅前書店   ', '未', NULL), "
                   "('2024-03-05', 2000, 2, 'ネット', '*', NULL), "
                   "(NULL, 300, 9, NULL, NULL, NULL), "
                   "('1899-12-30', 700, NULL, '  ', '未  ', '1899-12-30'), "
                   "('2026-11-20', 1500, 2, 'ネット', '', NULL), "
                   "('2025-12-07', 800, NULL, '古書店', '未', NULL), "
                   "('2026-05-01', NULL, 1, '駅前書店', '済', '2026-06-10'), "
                   "('2026-02-10', 100, 3, 'ネット', '済', '2026-02-20'), "
                   "('2026-02-11', 200, 4, '古書店  ', '済', NULL), "
                   "('2026-06-07', 50, 3, NULL, '未', NULL), "
                   "('2026-11-07', 60, 4, NULL, '未', NULL)"));
        m_connection =
            std::make_unique<Connection>(QStringLiteral("Data Source=TOSHO.MDB;"), m_folder.path());
        m_connection->open();
    }

    void figures_data() {
        QTest::addColumn<QString>("chart");
        QTest::addColumn<int>("year");
        QTest::addColumn<QString>("expected");
        QTest::newRow("bought per month, empty months zero")
            << "boughtPerMonth" << 0
            << "35|2024/01:2:1500 2024/03:1:2000 2025/12:1:800 2026/02:2:300 2026/05:1:0 "
               "2026/06:1:50 2026/11:2:1560";
        QTest::newRow("bought per month of a year")
            << "boughtPerMonth" << 2024 << "12|2024/01:2:1500 2024/03:1:2000";
        QTest::newRow("bought per year")
            << "boughtPerYear" << 0 << "3|2024:3:3500 2025:1:800 2026:6:1910";
        QTest::newRow("per year ignores the year chosen")
            << "boughtPerYear" << 2024 << "3|2024:3:3500 2025:1:800 2026:6:1910";
        QTest::newRow("by category, ties in Japanese order")
            << "byCategory" << 0
            << u8("5|文学:3:1500 アート:2:150 かがく:2:260 歴史:2:3500 不明:3:1800");
        QTest::newRow("by category of a year")
            << "byCategory" << 2026 << u8("4|アート:2:150 かがく:2:260 文学:1:0 歴史:1:1500");
        QTest::newRow("by shop, trailing blanks aside")
            << "byShop" << 0 << u8("4|ネット:3:3600 駅前書店:3:1500 古書店:2:1000 不明:4:1110");
        QTest::newRow("finished per month")
            << "finishedPerMonth" << 0 << "29|2024/02:1:0 2026/02:1:0 2026/06:1:0";
        QTest::newRow("finished per month of a year")
            << "finishedPerMonth" << 2026 << "12|2026/02:1:0 2026/06:1:0";
        QTest::newRow("unread by age, boundaries in the older step")
            << "unreadByAge" << 2024
            << u8("6|1か月未満:1:1500 1〜6か月:1:60 6か月〜1年:1:50 1〜2年:1:800 2年以上:1:500 "
                  "購入日なし:2:1000");
    }
    void figures() {
        QFETCH(QString, chart);
        QFETCH(int, year);
        QFETCH(QString, expected);
        const CollectionStatistics figures = readCollectionStatistics(
            *m_connection, Today, year > 0 ? std::optional<int>(year) : std::nullopt);
        const QHash<QString, QList<StatisticsRow> CollectionStatistics::*> charts{
            {"boughtPerMonth", &CollectionStatistics::boughtPerMonth},
            {"boughtPerYear", &CollectionStatistics::boughtPerYear},
            {"byCategory", &CollectionStatistics::byCategory},
            {"byShop", &CollectionStatistics::byShop},
            {"finishedPerMonth", &CollectionStatistics::finishedPerMonth},
            {"unreadByAge", &CollectionStatistics::unreadByAge}};
        QCOMPARE(described(figures.*charts.value(chart)), expected);
    }

    // The books no month can hold are counted apart, and the years offered are those with a
    // purchase or a finished book, whatever year is chosen.
    void countedApart() {
        const CollectionStatistics figures = readCollectionStatistics(*m_connection, Today, 2025);
        QCOMPARE(figures.boughtUndated, (StatisticsRow{{}, 2, 1000}));
        QCOMPARE(figures.readUndated, 2);
        QCOMPARE(figures.years, (QList<int>{2024, 2025, 2026}));
    }

    // An empty catalogue has no periods at all, and a catalogue that cannot be read says so.
    void emptyAndUnreadable() {
        test::DataFolder folder;
        test::makeCatalogue(folder.path(), 0);
        Connection connection(QStringLiteral("Data Source=TOSHO.MDB;"), folder.path());
        connection.open();
        const CollectionStatistics figures = readCollectionStatistics(connection, Today);
        QVERIFY(figures.boughtPerMonth.isEmpty() && figures.finishedPerMonth.isEmpty());
        QCOMPARE(described(figures.unreadByAge), "6|");
        test::SqlFile(folder.filePath("TOSHO.MDB")).exec("DROP TABLE BOOK");
        QVERIFY_THROWS_EXCEPTION(Failure, readCollectionStatistics(connection, Today));
    }

private:
    test::DataFolder m_folder;
    std::unique_ptr<Connection> m_connection;
};

QTEST_GUILESS_MAIN(TestStatistics)
#include "tst_statistics.moc"
