#include "base/Cp932.h"
#include "base/Failure.h"
#include "catalogue/StoredReadings.h"
#include "db/Connection.h"
#include "intake/CatalogueImport.h"
#include "maintenance/CatalogueExport.h"
#include "support/Catalogues.h"
#include "support/DataFolder.h"
#include "support/TestFiles.h"
#include "support/TestSql.h"

#include <QtTest>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

using namespace hondana;
using namespace hondana::intake;
using test::u8;

namespace {

const QString Catalogue = QStringLiteral("Data Source=TOSHO.MDB;");

// A catalogue with no book and no master, as a new user starts.
void makeEmptyCatalogue(const test::DataFolder &folder) {
    QFile::remove(folder.filePath(QStringLiteral("TOSHO.MDB")));
    QVERIFY(QFile::copy(QDir(test::DataFolder::shippedDataDir()).filePath("TOSHOINI.MDB"),
                        folder.filePath(QStringLiteral("TOSHO.MDB"))));
    QFile::setPermissions(folder.filePath(QStringLiteral("TOSHO.MDB")),
                          QFile::ReadOwner | QFile::WriteOwner);
}

void writeZip(const QString &path, const QString &entry, const QByteArray &bytes) {
    QuaZip zip(path);
    QVERIFY(zip.open(QuaZip::mdCreate));
    QuaZipFile file(&zip);
    QVERIFY(file.open(QIODevice::WriteOnly, QuaZipNewInfo(entry)));
    file.write(bytes);
    file.close();
    zip.close();
}

const char *const TellicoBooks =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE tellico PUBLIC \"-//Robby Stephenson/DTD Tellico V11.0//EN\" "
    "\"http://periapsis.org/tellico/dtd/v11/tellico.dtd\">\n"
    "<tellico xmlns=\"http://periapsis.org/tellico/\" syntaxVersion=\"11\">\n"
    " <collection title=\"本\" type=\"2\">\n"
    "  <fields><field name=\"_default\"/></fields>\n"
    "  <entry "
    "id=\"1\"><title>こころ</title><authors><author>夏目漱石</author><author>某</author></"
    "authors>\n"
    "   <publisher>新潮社</publisher><pub_year>2004</pub_year><isbn>4-10-101013-7</isbn>\n"
    "   "
    "<read>true</read><rating>3</rating><pur_price>¥500</pur_price><pur_date>2020-02-03</"
    "pur_date></entry>\n"
    "  <entry id=\"2\"><title>坊っちゃん</title><pur_date>2020-02-30</pur_date></entry>\n"
    " </collection>\n"
    "</tellico>\n";

// A book as the rows below write it:
// title|author|stamp|rank|finished|price|bought|published|title reading
QString describe(const QSqlDatabase &db, qint64 rowId) {
    const test::Rows rows = test::rows(
        db, u8("SELECT 題名, ifnull((SELECT 著者名 FROM CHOSHA c WHERE c.著者NO = b.著者NO), ''), "
               "ifnull(読書ｽﾀﾝﾌﾟ, ''), ifnull(読感ﾗﾝｸ, ''), ifnull(読書完了日, ''), "
               "ifnull(価格, ''), ifnull(購入日, ''), ifnull(発行日, ''), "
               "ifnull((SELECT reading FROM title_reading WHERE book_rowid = b.rowid), '') "
               "FROM BOOK b WHERE rowid = %1")
                .arg(rowId));
    QStringList fields;
    for (const QVariant &value : rows.value(0))
        fields << value.toString();
    return fields.join(u'|');
}

} // namespace

class TestImport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each format from a small file: recognised, its rows made into books, bad rows refused with
    // their line and column while the others go in.
    void formats_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("books");
        QTest::addColumn<QString>("refused");
        QTest::newRow("Goodreads")
            << "goodreads.csv"
            << QByteArray("Book Id,Title,Author,Author l-f,Additional Authors,ISBN,ISBN13,My "
                          "Rating,Average Rating,Publisher,Binding,Number of Pages,Year "
                          "Published,Original Publication Year,Date Read,Date Added,Bookshelves,"
                          "Bookshelves with positions,Exclusive Shelf,My Review,Spoiler,Private "
                          "Notes,Read Count,Owned Copies\r\n"
                          "1,Kokoro,Natsume Soseki,\"Soseki, Natsume\",,\"=\"\"4101010137\"\"\","
                          "\"=\"\"9784101010137\"\"\",4,4.1,Shinchosha,Paperback,300,2004,1914,"
                          "2019/05/12,2019/01/01,,,read,,,,1,0\r\n"
                          "2,Snow Country,Kawabata,,,\"=\"\"\"\"\",\"=\"\"\"\"\",0,3.9,Vintage,"
                          "Paperback,175,1996,1948,,2020/01/01,,,to-read,,,,0,0\r\n"
                          "3,Bad,X,,,,\"=\"\"9784101010130\"\"\",0,0,,,,,,,,,,read,,,,0,0\r\n")
            << "goodreads"
            << QStringList{u8("Kokoro|Natsume Soseki|済|4|2019-05-12|||2004-01-01|"),
                           u8("Snow Country|Kawabata|未|||||1996-01-01|")}
            << "4 ISBN";
        QTest::newRow("ブクログ, CP932 without header")
            << "booklog.csv"
            << cp932::encode(u8("1,4101010137,9784101010137,未設定,5,読み終わった,,,,"
                                "2020-01-02 10:00:00,2020-01-05,こころ,夏目漱石,新潮社,2004,"
                                "小説,300\r\n1,x,,未設定,0,積読,,,,2020-01-02 10:00:00,,"
                                "門,夏目漱石,新潮社,,,\r\n"))
            << "booklog"
            << QStringList{u8("こころ|夏目漱石|済|5|2020-01-05|||2004-01-01|ココロ"),
                           u8("門|夏目漱石|未||||||モン")}
            << "";
        QTest::newRow("calibre")
            << "calibre.csv"
            << QByteArray("author_sort,authors,comments,cover,formats,id,isbn,languages,"
                          "library_name,pubdate,publisher,rating,series,series_index,size,tags,"
                          "timestamp,title,title_sort,uuid\n"
                          "\"Natsume, Soseki\",Natsume Soseki & Someone,,,,1,9784101010137,jpn,"
                          "Books,2004-03-01T00:00:00+00:00,Shinchosha,4,,1.0,12345,,"
                          "2020-01-01T00:00:00+00:00,Kokoro,Kokoro,u-1\n"
                          ",Anon,,,,2,,,Books,0101-01-01T00:00:00+00:00,,0,,1.5,1,,,Odd,Odd,u-2\n")
            << "calibre" << QStringList{u8("Kokoro|Natsume Soseki||4||||2004-03-01|")} << "3 SEQNO";
        QTest::newRow("TSV with our names, UTF-8 with its mark")
            << "list.tsv"
            << (QByteArray("\xEF\xBB\xBF") +
                u8("題名\t著者名\t購入日\t価格\tメモ\n雪国\t川端康成\t2024/4/1\t1,500\tx\n"
                   "  千羽鶴\t川端康成\t2024/02/30\t\t\n")
                    .toUtf8())
            << "csv" << QStringList{u8("雪国|川端康成||||1500|2024-04-01||ユキグニ")} << "3 購入日";
        QTest::newRow("Tellico") << "books.tc" << QByteArray(TellicoBooks) << "tellico"
                                 << QStringList{u8(
                                        "こころ|夏目漱石|済|3||500|2020-02-03|2004-01-01|ココロ")}
                                 << "2 購入日";
    }

    void formats() {
        try {
            importsFormat();
        } catch (const Failure &failure) {
            QFAIL(qPrintable(failure.message()));
        }
    }

private:
    void importsFormat() {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, format);
        QFETCH(QStringList, books);
        QFETCH(QString, refused);
        test::DataFolder folder;
        makeEmptyCatalogue(folder);
        const QString path = folder.filePath(fileName);
        if (format == QLatin1String("tellico"))
            writeZip(path, QStringLiteral("tellico.xml"), bytes);
        else
            test::writeFile(path, bytes);
        const ImportFile file = ImportFile::read(path);
        QCOMPARE(file.format->option, format);
        Connection connection(Catalogue, folder.path());
        connection.open();
        const ImportPreview preview(connection, file);
        QStringList problems;
        for (const RowProblem &problem : preview.refusedRows())
            problems << QStringLiteral("%1 %2").arg(problem.line).arg(problem.column);
        QCOMPARE(problems.join(u','), refused);
        QStringList added;
        for (const qint64 rowId : importBooks(connection, preview, Duplicates::Skip))
            added << describe(connection.database(), rowId);
        QCOMPARE(added, books);
    }

private Q_SLOTS:
    // What the file as a whole is refused for; nothing is read of it.
    void refusedFiles_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("no known column") << QByteArray("a,b\n1,2\n") << u8("列名が分かりません");
        QTest::newRow("quote left open")
            << QByteArray("title\n\"abc\n") << u8("引用符（\"）が閉じていません");
    }

    void refusedFiles() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        test::DataFolder folder;
        test::writeFile(folder.filePath("file"), bytes);
        try {
            ImportFile::read(folder.filePath("file"));
            QFAIL("read");
        } catch (const Failure &failure) {
            QVERIFY2(failure.message().contains(message), qPrintable(failure.message()));
        }
    }

    // The readings the file leaves out are suggested for what it adds, and for nothing that was
    // in the catalogue before: that is the reading pass's, which has read it once already.
    void readingsOfWhatItAdds() {
        test::DataFolder folder;
        makeEmptyCatalogue(folder);
        Connection connection(Catalogue, folder.path());
        connection.open();
        QSqlQuery(connection.database()).exec(u8("INSERT INTO BOOK (題名) VALUES ('門')"));
        test::writeFile(
            folder.filePath("list.csv"),
            u8("題名,著者名,題名読み\nこころ,夏目漱石,\n雪国,川端康成,ユキ\n").toUtf8());
        const ImportPreview preview(connection, ImportFile::read(folder.filePath("list.csv")));
        QCOMPARE(importBooks(connection, preview, Duplicates::Skip).size(), 2);
        const QString readings = u8(
            "SELECT 題名, ifnull((SELECT reading FROM title_reading WHERE book_rowid = b.rowid), "
            "'') FROM BOOK b UNION ALL SELECT 著者名, ifnull((SELECT reading FROM name_reading "
            "WHERE master = 'CHOSHA' AND master_rowid = c.rowid), '') FROM CHOSHA c ORDER BY 1");
        QCOMPARE(test::rows(connection.database(), readings),
                 (test::Rows{{u8("こころ"), u8("ココロ")},
                             {u8("夏目漱石"), u8("ナツメソウセキ")},
                             {u8("川端康成"), u8("カワバタヤスナリ")},
                             {u8("門"), QString()},
                             {u8("雪国"), u8("ユキ")}}));
    }

    // Our own export into an empty catalogue gives back the same books, masters and readings,
    // and BOOK's indexes, built anew after so many books.
    void ownExportRoundTrip() {
        const int count = 1200;
        test::DataFolder source;
        test::makeCatalogue(source.path(), count);
        {
            Connection connection(Catalogue, source.path());
            connection.open();
            StoredReadings readings(connection);
            readings.setTitle(3, u8("ギンガ"));
            readings.setName(StoredReadings::Master::Author, 4, u8("タカハシ"));
        }
        QByteArray csv;
        exportCatalogue(Catalogue, source.path(), CsvEncoding::Utf8,
                        [&](QByteArrayView bytes) { csv += bytes.toByteArray(); });
        test::DataFolder target;
        makeEmptyCatalogue(target);
        test::writeFile(target.filePath("export.csv"), csv);
        Connection connection(Catalogue, target.path());
        connection.open();
        const ImportFile file = ImportFile::read(target.filePath("export.csv"));
        QCOMPARE(file.format->format, ImportFormat::Own);
        const ImportPreview preview(connection, file);
        QVERIFY2(preview.refusedRows().isEmpty(), qPrintable(preview.text(Duplicates::Add)));
        QCOMPARE(importBooks(connection, preview, Duplicates::Add).size(), count);

        // Books with their master names and readings, in one order, blanks at the end aside.
        const QString books = u8(
            "SELECT rtrim(ifnull(b.題名, '')), rtrim(ifnull(ｼﾘｰｽﾞ, '')), SEQNO, 全体NO, "
            "rtrim(ifnull(管理番号1, '')), 購入日, rtrim(ifnull(読書ｽﾀﾝﾌﾟ, '')), "
            "rtrim(ifnull(内容, '')), 発行日, 版数, 価格, rtrim(ifnull(購入先, '')), "
            "rtrim(ifnull(請求番号, '')), 読書完了日, 読感ﾗﾝｸ, "
            "ifnull((SELECT 著者名 FROM CHOSHA c WHERE c.著者NO = b.著者NO ORDER BY rowid), ''), "
            "ifnull((SELECT 発行所 FROM HAKKOU h WHERE h.発行所NO = b.発行所NO ORDER BY rowid), "
            "''), "
            "ifnull((SELECT 分野名 FROM BUNYA c WHERE c.分野NO = b.分野NO ORDER BY rowid), ''), "
            "ifnull((SELECT ｻｲｽﾞ名 FROM SAIZU c WHERE c.ｻｲｽﾞNO = b.ｻｲｽﾞNO ORDER BY rowid), ''), "
            "(SELECT reading FROM title_reading WHERE book_rowid = b.rowid), "
            "(SELECT r.reading FROM CHOSHA c JOIN name_reading r ON r.master = 'CHOSHA' AND "
            "r.master_rowid = c.rowid WHERE c.著者NO = b.著者NO ORDER BY c.rowid) "
            "FROM BOOK b ORDER BY 2, 1, 3, 6");
        test::Rows before = test::SqlFile(source.filePath("TOSHO.MDB")).rows(books);
        QCOMPARE(test::rows(connection.database(), books), before);
        const QString indexes = "SELECT name, sql FROM sqlite_schema WHERE tbl_name = 'BOOK' AND "
                                "type = 'index' ORDER BY name";
        QCOMPARE(test::rows(connection.database(), indexes),
                 test::SqlFile(source.filePath("TOSHO.MDB")).rows(indexes));
    }
};

QTEST_GUILESS_MAIN(TestImport)
#include "tst_import.moc"
