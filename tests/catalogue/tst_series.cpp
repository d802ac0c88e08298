#include "catalogue/SeriesVolumes.h"
#include "db/Connection.h"
#include "support/Catalogues.h"
#include "support/DataFolder.h"
#include "support/TestFiles.h"
#include "support/TestSql.h"

#include <QtTest>

using namespace hondana;
using test::u8;

namespace {

QList<int> numbers(const QString &written) {
    QList<int> list;
    for (const QString &number : written.split(u' ', Qt::SkipEmptyParts))
        list << number.toInt();
    return list;
}

// A series as the command line writes it: title, owned volumes, missing ones.
QString described(const Series &series) {
    return series.title + u'|' + series.ownedText() + u'|' + volumeRanges(series.missing());
}

} // namespace

class TestSeries : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The volumes owned and those missing, up to 全体NO or the highest owned.
    void rangesAndGaps_data() {
        QTest::addColumn<QString>("owned");
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("ownedText");
        QTest::addColumn<QString>("missingText");
        QTest::newRow("none owned") << "" << 3 << "" << u8("1–3");
        QTest::newRow("one") << "2" << 0 << "2"
                             << "1";
        QTest::newRow("all") << "1 2 3" << 3 << u8("1–3") << "";
        QTest::newRow("全体NO empty") << "1 2 4" << 0 << "1, 2, 4"
                                      << "3";
        QTest::newRow("全体NO below the highest") << "1 5" << 3 << "1, 5" << u8("2–4");
        QTest::newRow("runs") << "1 2 3 4 5 7 9" << 12 << u8("1–5, 7, 9") << u8("6, 8, 10–12");
    }
    void rangesAndGaps() {
        QFETCH(QString, owned);
        QFETCH(int, total);
        QFETCH(QString, ownedText);
        QFETCH(QString, missingText);
        Series series;
        series.owned = numbers(owned);
        series.total = total;
        QCOMPARE(volumeRanges(series.owned), ownedText);
        QCOMPARE(volumeRanges(series.missing()), missingText);
        QCOMPARE(series.incomplete(), !missingText.isEmpty());
    }

    // Titles are grouped as the search folds them; volumes are counted by SEQNO, else by a
    // number in ｼﾘｰｽﾞ; 上・下 are owned without a number; a lone book is a series only when
    // 全体NO says there are more; the series come in 50音 order of their titles.
    void readsTheCatalogue() {
        test::DataFolder folder;
        test::makeCatalogue(folder.path(), 0);
        test::SqlFile(folder.filePath("TOSHO.MDB"))
            .exec(
                u8("INSERT INTO BOOK (題名, ｼﾘｰｽﾞ, SEQNO, 全体NO) VALUES "
                   "('竜馬がゆく', NULL, 1, 8), ('竜馬がゆく', NULL, 3, 8), "
                   "('竜馬がゆく', '２', NULL, NULL), ('竜馬がゆく', NULL, 3, 8), "
                   "('竜馬がゆく', '第４巻', NULL, NULL), "
                   "('あさきゆめみし', '上', NULL, NULL), ('アサキユメミシ', '下', NULL, NULL), "
                   "('こころ', NULL, 1, 1), ('一冊だけ', NULL, 2, 3), ('無関係', NULL, 1, NULL)"));
        Connection connection(QStringLiteral("Data Source=TOSHO.MDB;"), folder.path());
        connection.open();
        QStringList all;
        for (const Series &series : readSeries(connection))
            all << described(series);
        // Without readings the titles sort by their own text: kana before kanji.
        QCOMPARE(all, (QStringList{u8("あさきゆめみし|上, 下|"), u8("一冊だけ|2|1, 3"),
                                   u8("竜馬がゆく|1–4|5–8")}));
    }
};

QTEST_GUILESS_MAIN(TestSeries)
#include "tst_series.moc"
