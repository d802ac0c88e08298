#include "base/Failure.h"
#include "catalogue/VolumeCopy.h"
#include "db/Connection.h"
#include "db/RecordSet.h"
#include "register/MEISAI.h"
#include "support/DataFolder.h"

#include <QSqlQuery>
#include <QtTest>

using namespace hondana;

namespace {

const QStringList SharedColumns = {"著者NO", "発行所NO", "全体NO", "分野NO", "ｻｲｽﾞNO", "題名"};
const QStringList VolumeColumns = {"SEQNO",     "ｼﾘｰｽﾞ",      "管理番号1", "管理番号2", "請求番号",
                                   "購入日",    "購入先",     "価格",      "発行日",    "版数",
                                   "読書ｽﾀﾝﾌﾟ", "読書完了日", "読感ﾗﾝｸ",   "内容"};

QVariant null() {
    return QVariant();
}

} // namespace

class VolumeCopyTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::DataFolder> m_folder;
    std::unique_ptr<Connection> m_connection;
    std::unique_ptr<RecordSet> m_books;

    void insertBook(const QVariantList &shared) {
        QSqlQuery q(m_connection->database());
        q.prepare("INSERT INTO BOOK (著者NO, 発行所NO, 全体NO, 分野NO, ｻｲｽﾞNO, 題名, SEQNO, "
                  "ｼﾘｰｽﾞ, 管理番号1, 管理番号2, 請求番号, 購入日, 購入先, 価格, 発行日, 版数, "
                  "読書ｽﾀﾝﾌﾟ, 読書完了日, 読感ﾗﾝｸ, 内容) VALUES (?, ?, ?, ?, ?, ?, 1, '上', "
                  "'A-1', 'B-1', 'C-1', '2020-04-01', '古書店', 1500, '2019-01-10', 2, '済', "
                  "'2020-05-01', 4, 'メモ')");
        for (const QVariant &value : shared)
            q.addBindValue(value);
        QVERIFY2(q.exec(), "insert");
    }

    void openBooks() {
        m_books = std::make_unique<RecordSet>();
        m_books->open(*m_connection, MEISAI::RecordSource);
    }

private Q_SLOTS:
    void init() {
        m_folder = std::make_unique<test::DataFolder>();
        m_folder->copyShipped("TOSHOINI.MDB", "TOSHO.MDB");
        m_connection = std::make_unique<Connection>("Data Source=TOSHO.MDB;");
        m_connection->open();
    }

    void cleanup() {
        m_books.reset();
        m_connection.reset();
        m_folder.reset();
    }

    void copiesSharedDataOnly_data() {
        QTest::addColumn<QVariantList>("shared");
        QTest::newRow("every shared value") << QVariantList{12, 3, 5, 7, 2, "源氏物語"};
        QTest::newRow("no volume count") << QVariantList{12, 3, null(), 7, 2, "源氏物語"};
        QTest::newRow("author number beyond 16 bits") << QVariantList{40000, 3, 5, 7, 2, "題"};
        QTest::newRow("32-bit extremes")
            << QVariantList{2147483647, -2147483648LL, 0, -1, 70000, "ｶﾀｶﾅ"};
        QTest::newRow("title only") << QVariantList{null(), null(), null(), null(), null(), "題"};
        QTest::newRow("nothing shared")
            << QVariantList{null(), null(), null(), null(), null(), null()};
    }

    void copiesSharedDataOnly() {
        QFETCH(QVariantList, shared);
        insertBook(shared);
        openBooks();

        copyAsNewVolume(*m_books);

        QVERIFY(m_books->isNewRow());
        QCOMPARE(m_books->absolutePosition(), 2);
        for (int i = 0; i < SharedColumns.size(); ++i) {
            const QVariant copied = m_books->value(SharedColumns.at(i));
            QCOMPARE(copied.isNull(), shared.at(i).isNull());
            if (!copied.isNull())
                QCOMPARE(copied.toString(), shared.at(i).toString());
        }
        for (const QString &column : VolumeColumns)
            QVERIFY2(m_books->value(column).isNull(), qPrintable(column));

        // The copy waits unsaved until the user saves it.
        QSqlQuery rows(m_connection->database());
        QVERIFY(rows.exec("SELECT count(*) FROM BOOK") && rows.next());
        QCOMPARE(rows.value(0).toInt(), 1);
        if (m_books->isDirty()) {
            m_books->setValue("SEQNO", 2);
            m_books->update();
            QVERIFY(rows.exec("SELECT 著者NO, 全体NO, SEQNO FROM BOOK WHERE SEQNO = 2"));
            QVERIFY(rows.next());
            QCOMPARE(rows.value(0).isNull(), shared.at(0).isNull());
            QCOMPARE(rows.value(0).toString(), shared.at(0).toString());
            QCOMPARE(rows.value(1).toString(), shared.at(2).toString());
        }
    }

    void copyingTwiceSavesTheFirstCopy() {
        insertBook({12, 3, 5, 7, 2, "源氏物語"});
        openBooks();
        copyAsNewVolume(*m_books);
        copyAsNewVolume(*m_books);

        QCOMPARE(m_books->absolutePosition(), 3);
        QVERIFY(m_books->isNewRow());
        QCOMPARE(m_books->value("題名").toString(), QString("源氏物語"));
        QSqlQuery rows(m_connection->database());
        QVERIFY(rows.exec("SELECT count(*), count(SEQNO) FROM BOOK WHERE 題名 = '源氏物語'"));
        QVERIFY(rows.next());
        QCOMPARE(rows.value(0).toInt(), 2);
        QCOMPARE(rows.value(1).toInt(), 1); // the first copy went in without a running number
    }

    void refusedSaveStartsNoCopy() {
        insertBook({12, 3, 5, 7, 2, "源氏物語"});
        openBooks();
        m_books->setValue("題名", "改題");
        m_books->setSaveCheck([] { throw Failure("書き込みを拒否しました"); });

        QVERIFY_THROWS_EXCEPTION(Failure, copyAsNewVolume(*m_books));
        QVERIFY(!m_books->isNewRow());
        QCOMPARE(m_books->recordCount(), 1);
        QVERIFY(m_books->isDirty());
        QCOMPARE(m_books->value("題名").toString(), QString("改題"));
    }

    void noCurrentBookAddsNothing() {
        openBooks();
        QVERIFY_THROWS_EXCEPTION(Failure, copyAsNewVolume(*m_books));
        QCOMPARE(m_books->recordCount(), 0);
    }
};

QTEST_GUILESS_MAIN(VolumeCopyTest)
#include "tst_volumecopy.moc"
