// Backup and restore called in the process, as the screens call them. Refusals of hostile,
// missing or failing files are the hardening tests' subject.
#include "base/FileNames.h"
#include "core/AppState.h"
#include "db/Connection.h"
#include "maintenance/BackupData.h"
#include "maintenance/RestoreData.h"
#include "support/Catalogues.h"
#include "support/DataFolder.h"
#include "support/DataRows.h"
#include "support/TestFiles.h"
#include "support/TestSql.h"

#include <QDir>
#include <QtTest>

using namespace hondana;
using test::BackupFiles;
using test::cell;
using test::contents;
using test::DataFolder;
using test::u8;
using test::writeFile;

namespace {

QString catalogue() {
    return files::resolve(files::Catalogue);
}

// Every row of `sql` on the catalogue as "a|b|c", nulls as "<null>".
QStringList rows(const QString &sql, const QString &path = catalogue()) {
    QStringList result;
    for (const QVariantList &row : test::SqlFile(path).rows(sql)) {
        QStringList values;
        for (const QVariant &value : row)
            values << (value.isNull() ? "<null>" : value.toString());
        result << values.join(QLatin1Char('|'));
    }
    return result;
}

void backUp() {
    backupData(AppState::instance().mainConnectionString);
}

} // namespace

class TestBackupRestore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { AppState::instance().reset(); }

    // Backup replaces longer earlier files whole, also with nothing to write, and lets go of the
    // catalogue; backup, restore and backup again write the same bytes.
    void backupRestoreBackupIsByteIdentical_data() {
        test::columns<int, bool>({"books", "ours"});
        test::row("empty catalogue", 0, false);
        test::row("more than one reading block", 1100, false);
        test::row("readings and ISBNs of ours", 1100, true);
    }

    void backupRestoreBackupIsByteIdentical() {
        const int books = cell<int>("books");
        DataFolder folder;
        test::makeCatalogue(folder.path(), books);
        if (books == 0)
            test::SqlFile(catalogue())
                .exec("DELETE FROM CHOSHA; DELETE FROM HAKKOU; "
                      "DELETE FROM BUNYA; DELETE FROM SAIZU");
        if (cell<bool>("ours"))
            test::SqlFile(catalogue())
                .exec("INSERT INTO title_reading SELECT rowid, 'ヨミ', 'user' FROM BOOK WHERE "
                      "rowid % 3 = 0; INSERT INTO book_isbn SELECT rowid, CASE rowid % 2 WHEN 1 "
                      "THEN '9784101010014' ELSE '9784800030047' END FROM BOOK WHERE rowid % 2 = "
                      "1 OR rowid % 5 = 0");
        const QString ours = "SELECT (SELECT group_concat(book_rowid || reading) FROM "
                             "title_reading), (SELECT group_concat(book_rowid || isbn) FROM "
                             "book_isbn)";
        const QStringList oursBefore = rows(ours);
        for (const QString &file : BackupFiles)
            writeFile(folder.filePath(file), QByteArray(5000, 'x'));
        const QString authors =
            "SELECT 著者NO, rtrim(著者名), rtrim(国) FROM CHOSHA ORDER BY rowid";
        QStringList before = rows(authors);
        before.replaceInStrings("<null>", QString());
        backUp();
        QCOMPARE(QFileInfo(folder.filePath("BOOK.DAT")).size(), books * 324);
        QCOMPARE(QFileInfo(folder.filePath("SAIZU.DAT")).size(), books ? test::Sizes * 34 : 0);
        QCOMPARE(QDir(folder.path()).entryList({"*.tmp"}, QDir::AllEntries), QStringList());
        QCOMPARE(openConnectionCount(catalogue()), 0);
        QHash<QString, QByteArray> first;
        for (const QString &file : BackupFiles)
            first[file] = contents(folder.filePath(file));
        restoreData();
        QVERIFY(!QFileInfo::exists(folder.filePath(files::WorkCopy)));
        backUp();
        for (const QString &file : BackupFiles)
            QVERIFY2(contents(folder.filePath(file)) == first[file], qPrintable(file));

        // Keys and order survive; texts come back padded to the field, stamps as 未 or 済.
        QCOMPARE(rows("SELECT count(*) FROM BOOK"), QStringList{QString::number(books)});
        QCOMPARE(rows(authors), before);
        QCOMPARE(rows(ours), oursBefore);
        QCOMPARE(rows("SELECT count(*) FROM BOOK WHERE 読書ｽﾀﾝﾌﾟ NOT IN ('未  ', '済  ')"),
                 QStringList{"0"});
        QCOMPARE(rows("SELECT STMPID FROM DSTMP ORDER BY rowid"), (QStringList{"未", "済"}));
        // The template's indexes and views are all there, and the file is sound.
        const QString schema = "SELECT type, name, sql FROM sqlite_schema ORDER BY name";
        QCOMPARE(rows(schema), rows(schema, folder.filePath(files::RestoreTemplate)));
        QCOMPARE(rows("PRAGMA integrity_check"), QStringList{"ok"});
    }

    void restoreBringsBackWhatTheFileHolds_data() {
        test::columns<QString, QString, QString>({"insert", "select", "expected"});
        auto row = test::row<const char *, const char *, const char *>;
        row("no stamp is 未", "INSERT INTO BOOK (題名) VALUES ('a')", "SELECT 読書ｽﾀﾝﾌﾟ FROM BOOK",
            "未  ");
        row("no 発行日 is day 0", "INSERT INTO BOOK (題名) VALUES ('a')", "SELECT 発行日 FROM BOOK",
            "1899-12-30");
        row("day 0 stays day 0", "INSERT INTO BOOK (題名, 購入日) VALUES ('a', '1899-12-30')",
            "SELECT 購入日 FROM BOOK", "1899-12-30");
        row("no SEQNO is 1, no 著者NO is 0", "INSERT INTO BOOK (題名) VALUES ('a')",
            "SELECT SEQNO, 全体NO, 著者NO FROM BOOK", "1|1|0");
        row("short title comes back padded", "INSERT INTO BOOK (題名) VALUES ('夜')",
            "SELECT length(題名), rtrim(題名) FROM BOOK", "49|夜");
        row("category with empty name stays", "INSERT INTO BUNYA (分野NO, 分野名) VALUES (3, NULL)",
            "SELECT 分野NO, length(分野名), trim(分野名) FROM BUNYA", "3|50|");
        row("JIS wave dash comes back in its Windows form",
            "INSERT INTO SAIZU (ｻｲｽﾞNO, ｻｲｽﾞ名) VALUES (1, 'A〜B')",
            "SELECT rtrim(ｻｲｽﾞ名) FROM SAIZU", "A～B");
    }

    void restoreBringsBackWhatTheFileHolds() {
        DataFolder folder;
        folder.copyShipped(files::CatalogueTemplate, files::Catalogue);
        test::SqlFile(catalogue()).exec(test::text("insert"));
        backUp();
        restoreData();
        QCOMPARE(rows(test::text("select")), QStringList{test::text("expected")});
    }

    // Restore builds the catalogue afresh from the template: whatever a broken earlier run left in
    // the work copy is gone, the template's acceptance (or a new one) is the only one, and every
    // connection to the old catalogue is closed before it is replaced.
    void restoreStartsFromTheTemplate_data() {
        test::columns<QString>({"templateRow"}); // the template's own acceptance, if any
        test::row("template without acceptance", QString());
        test::row("template with acceptance", "7");
    }

    void restoreStartsFromTheTemplate() {
        const QString templateRow = test::text("templateRow");
        DataFolder folder;
        test::makeCatalogue(folder.path(), 10);
        backUp();
        folder.copyShipped(files::RestoreTemplate, files::WorkCopy);
        test::SqlFile(folder.filePath(files::WorkCopy))
            .exec("INSERT INTO BOOK (題名) VALUES ('前回の残り'); "
                  "INSERT INTO SAIZU (ｻｲｽﾞNO, ｻｲｽﾞ名) VALUES (99, '残り')");
        if (!templateRow.isEmpty())
            test::SqlFile(folder.filePath(files::RestoreTemplate))
                .exec(
                    u8("INSERT INTO DOUI (ID, 同意日) VALUES (%1, '2000-01-01')").arg(templateRow));
        Connection main(AppState::instance().mainConnectionString);
        Connection other("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=tosho.mdb;");
        main.open();
        other.open();
        QCOMPARE(openConnectionCount(catalogue()), 2);

        restoreData();

        QVERIFY(!main.isOpen());
        QVERIFY(!other.isOpen());
        QCOMPARE(openConnectionCount(catalogue()), 0);
        QVERIFY(!QFileInfo::exists(folder.filePath(files::WorkCopy)));
        QCOMPARE(rows("SELECT count(*) FROM BOOK"), QStringList{"10"});
        QCOMPARE(rows("SELECT count(*) FROM SAIZU WHERE ｻｲｽﾞNO = 99"), QStringList{"0"});
        const QStringList ids = rows("SELECT ID FROM DOUI");
        QCOMPARE(ids.size(), 1);
        if (!templateRow.isEmpty())
            QCOMPARE(ids, QStringList{templateRow});
    }

    void fileNamesMatchWithoutCase() {
        DataFolder folder;
        test::makeCatalogue(folder.path(), 8, true, "Tosho.mdb");
        QVERIFY(QFile::rename(folder.filePath(files::RestoreTemplate),
                              folder.filePath("toshodef.mdb")));
        writeFile(folder.filePath("hakko.dat"), "old");
        backUp();
        QCOMPARE(QFileInfo(folder.filePath("hakko.dat")).size(), test::Publishers * 54);
        QVERIFY(!QFileInfo::exists(folder.filePath("HAKKO.DAT")));
        restoreData();
        QCOMPARE(rows("SELECT count(*) FROM BOOK", folder.filePath("Tosho.mdb")), QStringList{"8"});
        QVERIFY(!QFileInfo::exists(folder.filePath(files::Catalogue)));
        QVERIFY(!QFileInfo::exists(folder.filePath(files::WorkCopy)));
    }
};

QTEST_GUILESS_MAIN(TestBackupRestore)
#include "tst_backuprestore.moc"
