#include "base/Failure.h"
#include "base/FileNames.h"
#include "core/AppState.h"
#include "db/Connection.h"
#include "maintenance/BackupData.h"
#include "maintenance/BackupFormat.h"
#include "maintenance/RestoreData.h"
#include "support/CatalogueGenerator.h"
#include "support/DataFolder.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>
#include <unistd.h>

using namespace hondana;
using test::contents;
using test::DataFolder;
using test::u8;
using test::writeFile;

namespace {

const QStringList BackupFiles = {QStringLiteral("BOOK.DAT"), QStringLiteral("BUNYA.DAT"),
                                 QStringLiteral("CHOSHA.DAT"), QStringLiteral("HAKKO.DAT"),
                                 QStringLiteral("SAIZU.DAT")};

// Runs SQL on a database file and returns every row as "a|b|c", nulls as "<null>".
QStringList rows(const QString &path, const QString &sql, const QVariantList &binds = {}) {
    const QString name = openDatabaseFile(path, QStringLiteral("test"));
    QStringList result;
    {
        QSqlQuery query(QSqlDatabase::database(name, false));
        query.prepare(sql);
        for (int i = 0; i < binds.size(); ++i)
            query.bindValue(i, binds[i]);
        if (!query.exec())
            qWarning() << query.lastError().text();
        while (query.next()) {
            QStringList values;
            for (int i = 0; i < query.record().count(); ++i)
                values << (query.value(i).isNull() ? QStringLiteral("<null>")
                                                   : query.value(i).toString());
            result << values.join(QLatin1Char('|'));
        }
    }
    closeDatabase(name);
    return result;
}

void execute(const QString &path, const QStringList &statements) {
    const QString name = openDatabaseFile(path, QStringLiteral("test"));
    {
        QSqlQuery query(QSqlDatabase::database(name, false));
        for (const QString &statement : statements) {
            if (!query.exec(statement))
                qWarning() << statement << query.lastError().text();
        }
    }
    closeDatabase(name);
}

test::CatalogueShape smallShape(int books) {
    test::CatalogueShape shape;
    shape.books = books;
    shape.authors = 120;
    shape.publishers = 40;
    shape.categories = 30;
    shape.sizes = 12;
    return shape;
}

bool runningAsRoot() {
    return ::geteuid() == 0;
}

} // namespace

class TestBackupRestore : public QObject {
    Q_OBJECT

private:
    // A working folder with the shipped files and a catalogue made from the starting template.
    void makeCatalogue(const DataFolder &folder, int books = 0, const QString &as = QString()) {
        folder.copyShipped(files::CatalogueTemplate, as.isEmpty() ? files::Catalogue : as);
        if (books > 0)
            test::generateCatalogue(folder.filePath(as.isEmpty() ? files::Catalogue : as),
                                    smallShape(books));
    }
    QString catalogue() const { return files::resolve(files::Catalogue); }

private Q_SLOTS:
    void init() { AppState::instance().reset(); }

    void emptyCatalogueGivesEmptyFiles();
    void backupReplacesEarlierFiles();
    void backupRestoreBackupIsByteIdentical();
    void restoreBringsBackWhatTheFileHolds_data();
    void restoreBringsBackWhatTheFileHolds();
    void restoreFailureLeavesCatalogueIntact_data();
    void restoreFailureLeavesCatalogueIntact();
    void missingFilesAreListedInOneMessage();
    void leftoverWorkCopyIsReplaced();
    void restoreEndsWithOneAcceptanceRow_data();
    void restoreEndsWithOneAcceptanceRow();
    void restoreClosesOpenConnections();
    void fileNamesMatchWithoutCase();
    void backupFailureKeepsEarlierFile_data();
    void backupFailureKeepsEarlierFile();
    void backupOfMissingCatalogueNamesIt();
};

void TestBackupRestore::emptyCatalogueGivesEmptyFiles() {
    DataFolder folder;
    makeCatalogue(folder);
    backupData(AppState::instance().mainConnectionString);
    for (const QString &file : BackupFiles) {
        QVERIFY2(QFileInfo::exists(folder.filePath(file)), qPrintable(file));
        QCOMPARE(QFileInfo(folder.filePath(file)).size(), 0);
    }
    QCOMPARE(openConnectionCount(catalogue()), 0);
}

void TestBackupRestore::backupReplacesEarlierFiles() {
    DataFolder folder;
    makeCatalogue(folder, 40);
    for (const QString &file : BackupFiles)
        writeFile(folder.filePath(file), QByteArray(5000, 'x'));
    backupData(AppState::instance().mainConnectionString);
    const QByteArray first = contents(folder.filePath(QStringLiteral("BOOK.DAT")));
    QCOMPARE(first.size() % 324, 0);
    QCOMPARE(first.size() / 324, 40);
    backupData(AppState::instance().mainConnectionString);
    QCOMPARE(contents(folder.filePath(QStringLiteral("BOOK.DAT"))), first);
    QCOMPARE(QFileInfo(folder.filePath(QStringLiteral("SAIZU.DAT"))).size(), 12 * 34);
    // No temporary file is left behind.
    QCOMPARE(QDir(folder.path()).entryList({QStringLiteral("*.tmp")}, QDir::AllEntries).size(), 0);
}

void TestBackupRestore::backupRestoreBackupIsByteIdentical() {
    DataFolder folder;
    makeCatalogue(folder, 600);
    const QStringList before =
        rows(catalogue(), QStringLiteral("SELECT 著者NO, 著者名, 国 FROM CHOSHA ORDER BY rowid"));
    backupData(AppState::instance().mainConnectionString);
    QHash<QString, QByteArray> first;
    for (const QString &file : BackupFiles)
        first[file] = contents(folder.filePath(file));
    restoreData();
    QVERIFY(!QFileInfo::exists(folder.filePath(files::WorkCopy)));
    backupData(AppState::instance().mainConnectionString);
    for (const QString &file : BackupFiles)
        QVERIFY2(contents(folder.filePath(file)) == first[file], qPrintable(file));

    // Keys and order survive; texts come back padded to the field.
    QCOMPARE(rows(catalogue(), QStringLiteral("SELECT count(*) FROM BOOK")),
             QStringList{u8("600")});
    const QStringList after =
        rows(catalogue(),
             QStringLiteral("SELECT 著者NO, rtrim(著者名), rtrim(国) FROM CHOSHA ORDER BY rowid"));
    QCOMPARE(after.size(), before.size());
    for (int i = 0; i < before.size(); ++i) {
        QString expected = before[i];
        expected.replace(QStringLiteral("<null>"), QString());
        QCOMPARE(after[i], expected);
    }
    QCOMPARE(rows(catalogue(), QStringLiteral("SELECT count(*) FROM BOOK WHERE 読書ｽﾀﾝﾌﾟ "
                                              "NOT IN ('未  ', '済  ')")),
             QStringList{u8("0")});
    QCOMPARE(rows(catalogue(), QStringLiteral("SELECT STMPID FROM DSTMP ORDER BY rowid")),
             (QStringList{u8("未"), u8("済")}));
    // The template's indexes and views are all there, and the file is sound.
    const QString schema =
        QStringLiteral("SELECT type, name, sql FROM sqlite_schema ORDER BY name");
    QCOMPARE(rows(catalogue(), schema), rows(folder.filePath(files::RestoreTemplate), schema));
    QCOMPARE(rows(catalogue(), QStringLiteral("PRAGMA integrity_check")), QStringList{u8("ok")});
}

void TestBackupRestore::restoreBringsBackWhatTheFileHolds_data() {
    QTest::addColumn<QString>("insert");
    QTest::addColumn<QString>("select");
    QTest::addColumn<QString>("expected");
    QTest::newRow("stamp * is 済") << u8("INSERT INTO BOOK (題名, 読書ｽﾀﾝﾌﾟ) VALUES ('a', '*')")
                                   << u8("SELECT 読書ｽﾀﾝﾌﾟ FROM BOOK") << u8("済  ");
    QTest::newRow("empty stamp is 未") << u8("INSERT INTO BOOK (題名, 読書ｽﾀﾝﾌﾟ) VALUES ('a', '')")
                                       << u8("SELECT 読書ｽﾀﾝﾌﾟ FROM BOOK") << u8("未  ");
    QTest::newRow("no stamp is 未") << u8("INSERT INTO BOOK (題名) VALUES ('a')")
                                    << u8("SELECT 読書ｽﾀﾝﾌﾟ FROM BOOK") << u8("未  ");
    QTest::newRow("no 発行日 is day 0") << u8("INSERT INTO BOOK (題名) VALUES ('a')")
                                        << u8("SELECT 発行日 FROM BOOK") << u8("1899-12-30");
    QTest::newRow("day 0 stays day 0")
        << u8("INSERT INTO BOOK (題名, 購入日) VALUES ('a', '1899-12-30')")
        << u8("SELECT 購入日 FROM BOOK") << u8("1899-12-30");
    QTest::newRow("no SEQNO is 1, no 著者NO is 0")
        << u8("INSERT INTO BOOK (題名) VALUES ('a')")
        << u8("SELECT SEQNO, 全体NO, 著者NO FROM BOOK") << u8("1|1|0");
    QTest::newRow("short title comes back padded")
        << u8("INSERT INTO BOOK (題名) VALUES ('夜')")
        << u8("SELECT length(題名), rtrim(題名) FROM BOOK") << u8("49|夜");
    QTest::newRow("book without title is gone")
        << u8("INSERT INTO BOOK (題名, SEQNO) VALUES (NULL, 5)") << u8("SELECT count(*) FROM BOOK")
        << u8("0");
    QTest::newRow("category with empty name stays")
        << u8("INSERT INTO BUNYA (分野NO, 分野名) VALUES (3, NULL)")
        << u8("SELECT 分野NO, length(分野名), trim(分野名) FROM BUNYA") << u8("3|50|");
    QTest::newRow("author without number is gone")
        << u8("INSERT INTO CHOSHA (著者NO, 著者名) VALUES (NULL, 'x')")
        << u8("SELECT count(*) FROM CHOSHA") << u8("0");
    QTest::newRow("publisher number and name")
        << u8("INSERT INTO HAKKOU (発行所NO, 発行所) VALUES (-7, 'ｱｵｿﾞﾗ書房')")
        << u8("SELECT 発行所NO, rtrim(発行所) FROM HAKKOU") << u8("-7|ｱｵｿﾞﾗ書房");
    QTest::newRow("JIS wave dash comes back in its Windows form")
        << u8("INSERT INTO SAIZU (ｻｲｽﾞNO, ｻｲｽﾞ名) VALUES (1, 'A〜B')")
        << u8("SELECT rtrim(ｻｲｽﾞ名) FROM SAIZU") << u8("A～B");
}

void TestBackupRestore::restoreBringsBackWhatTheFileHolds() {
    QFETCH(QString, insert);
    QFETCH(QString, select);
    QFETCH(QString, expected);
    DataFolder folder;
    makeCatalogue(folder);
    execute(catalogue(), {insert});
    backupData(AppState::instance().mainConnectionString);
    restoreData();
    QCOMPARE(rows(catalogue(), select), QStringList{expected});
}

void TestBackupRestore::restoreFailureLeavesCatalogueIntact_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("named");
    QTest::newRow("missing HAKKO.DAT") << u8("missing HAKKO.DAT") << u8("HAKKO.DAT");
    QTest::newRow("missing template") << u8("missing template") << u8("TOSHODEF.MDB");
    QTest::newRow("template that is not a database")
        << u8("garbage template") << u8("TOSHODEF.MDB");
    QTest::newRow("template refuses books") << u8("refusing template") << u8("BOOK.DAT");
    QTest::newRow("impossible date in BOOK.DAT") << u8("bad date") << u8("BOOK.DAT");
    QTest::newRow("template without the SAIZU table") << u8("no SAIZU") << u8("SAIZU");
    QTest::newRow("template with a unique index the data breaks")
        << u8("unique authors") << u8("CHOSHA_NO");
}

void TestBackupRestore::restoreFailureLeavesCatalogueIntact() {
    QFETCH(QString, fault);
    QFETCH(QString, named);
    DataFolder folder;
    makeCatalogue(folder, 30);
    backupData(AppState::instance().mainConnectionString);
    // The live catalogue differs from what the files would restore.
    execute(catalogue(), {u8("INSERT INTO BOOK (題名) VALUES ('あとから足した本')")});
    const QByteArray before = contents(catalogue());
    const QString templatePath = folder.filePath(files::RestoreTemplate);
    if (fault == u8("missing HAKKO.DAT")) {
        QVERIFY(QFile::remove(folder.filePath(QStringLiteral("HAKKO.DAT"))));
    } else if (fault == u8("missing template")) {
        QVERIFY(QFile::remove(templatePath));
    } else if (fault == u8("garbage template")) {
        writeFile(templatePath, QByteArray(4096, 'G'));
    } else if (fault == u8("refusing template")) {
        execute(templatePath, {u8("CREATE TRIGGER refuse BEFORE INSERT ON BOOK "
                                  "BEGIN SELECT RAISE(ABORT, 'no books here'); END")});
    } else if (fault == u8("bad date")) {
        QByteArray book = contents(folder.filePath(QStringLiteral("BOOK.DAT")));
        qToLittleEndian<double>(std::numeric_limits<double>::quiet_NaN(),
                                book.data() + 324 * 20 + 84);
        writeFile(folder.filePath(QStringLiteral("BOOK.DAT")), book);
    } else if (fault == u8("unique authors")) {
        execute(templatePath,
                {u8("DROP INDEX CHOSHA_NO"), u8("CREATE UNIQUE INDEX CHOSHA_NO ON CHOSHA (国)")});
    } else if (fault == u8("no SAIZU")) {
        execute(templatePath, {u8("DROP TABLE SAIZU")});
    }
    try {
        restoreData();
        QFAIL("restore went through");
    } catch (const Failure &failure) {
        QVERIFY2(failure.message().contains(named), qPrintable(failure.message()));
    }
    QVERIFY(contents(catalogue()) == before);
    QVERIFY(!QFileInfo::exists(folder.filePath(files::WorkCopy)));
}

void TestBackupRestore::missingFilesAreListedInOneMessage() {
    DataFolder folder;
    makeCatalogue(folder);
    backupData(AppState::instance().mainConnectionString);
    QFile::remove(folder.filePath(QStringLiteral("BUNYA.DAT")));
    QFile::remove(folder.filePath(QStringLiteral("SAIZU.DAT")));
    QFile::remove(folder.filePath(files::RestoreTemplate));
    writeFile(folder.filePath(files::WorkCopy), "left over");
    try {
        restoreData();
        QFAIL("restore went through");
    } catch (const Failure &failure) {
        for (const char *name : {"BUNYA.DAT", "SAIZU.DAT", "TOSHODEF.MDB"})
            QVERIFY2(failure.message().contains(u8(name)), qPrintable(failure.message()));
        QVERIFY2(!failure.message().contains(u8("HAKKO.DAT")), qPrintable(failure.message()));
    }
    // Nothing was touched, not even the leftover work copy.
    QCOMPARE(contents(folder.filePath(files::WorkCopy)), QByteArray("left over"));
}

void TestBackupRestore::leftoverWorkCopyIsReplaced() {
    DataFolder folder;
    makeCatalogue(folder, 10);
    backupData(AppState::instance().mainConnectionString);
    // A work copy of a broken earlier run, holding rows of its own.
    folder.copyShipped(files::RestoreTemplate, files::WorkCopy);
    execute(folder.filePath(files::WorkCopy),
            {u8("INSERT INTO BOOK (題名) VALUES ('前回の残り')"),
             u8("INSERT INTO SAIZU (ｻｲｽﾞNO, ｻｲｽﾞ名) VALUES (99, '残り')")});
    restoreData();
    QCOMPARE(rows(catalogue(), u8("SELECT count(*) FROM BOOK")), QStringList{u8("10")});
    QCOMPARE(rows(catalogue(), u8("SELECT count(*) FROM SAIZU WHERE ｻｲｽﾞNO = 99")),
             QStringList{u8("0")});
    QVERIFY(!QFileInfo::exists(folder.filePath(files::WorkCopy)));
}

void TestBackupRestore::restoreEndsWithOneAcceptanceRow_data() {
    QTest::addColumn<bool>("templateHasRow");
    QTest::newRow("template without acceptance") << false;
    QTest::newRow("template with acceptance") << true;
}

void TestBackupRestore::restoreEndsWithOneAcceptanceRow() {
    QFETCH(bool, templateHasRow);
    DataFolder folder;
    makeCatalogue(folder, 5);
    backupData(AppState::instance().mainConnectionString);
    if (templateHasRow)
        execute(folder.filePath(files::RestoreTemplate),
                {u8("INSERT INTO DOUI (ID, 同意日) VALUES (7, '2000-01-01')")});
    restoreData();
    QCOMPARE(rows(catalogue(), u8("SELECT count(*) FROM DOUI")), QStringList{u8("1")});
    if (templateHasRow)
        QCOMPARE(rows(catalogue(), u8("SELECT ID FROM DOUI")), QStringList{u8("7")});
}

void TestBackupRestore::restoreClosesOpenConnections() {
    DataFolder folder;
    makeCatalogue(folder, 5);
    backupData(AppState::instance().mainConnectionString);
    Connection main(AppState::instance().mainConnectionString);
    Connection other(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=tosho.mdb;"));
    main.open();
    other.open();
    QCOMPARE(openConnectionCount(catalogue()), 2);
    restoreData();
    QVERIFY(!main.isOpen());
    QVERIFY(!other.isOpen());
    QCOMPARE(openConnectionCount(catalogue()), 0);
    QCOMPARE(rows(catalogue(), u8("SELECT count(*) FROM BOOK")), QStringList{u8("5")});
}

void TestBackupRestore::fileNamesMatchWithoutCase() {
    DataFolder folder;
    makeCatalogue(folder, 8, QStringLiteral("Tosho.mdb"));
    QVERIFY(QFile::rename(folder.filePath(files::RestoreTemplate),
                          folder.filePath(u8("toshodef.mdb"))));
    writeFile(folder.filePath(u8("hakko.dat")), "old");
    backupData(AppState::instance().mainConnectionString);
    QCOMPARE(QFileInfo(folder.filePath(u8("hakko.dat"))).size(), 40 * 54);
    QVERIFY(!QFileInfo::exists(folder.filePath(u8("HAKKO.DAT"))));
    restoreData();
    QCOMPARE(rows(folder.filePath(u8("Tosho.mdb")), u8("SELECT count(*) FROM BOOK")),
             QStringList{u8("8")});
    QVERIFY(!QFileInfo::exists(folder.filePath(files::Catalogue)));
    QVERIFY(!QFileInfo::exists(folder.filePath(files::WorkCopy)));
}

void TestBackupRestore::backupFailureKeepsEarlierFile_data() {
    QTest::addColumn<QString>("fault");
    QTest::newRow("folder squatting on the temporary name") << u8("squat");
    QTest::newRow("read-only folder") << u8("read-only");
}

void TestBackupRestore::backupFailureKeepsEarlierFile() {
    QFETCH(QString, fault);
    if (fault == u8("read-only") && runningAsRoot())
        QSKIP("root writes into read-only folders");
    DataFolder folder;
    makeCatalogue(folder, 12);
    for (const QString &file : BackupFiles)
        writeFile(folder.filePath(file), "earlier " + file.toLatin1());
    const QString chosha = folder.filePath(QStringLiteral("CHOSHA.DAT"));
    if (fault == u8("squat"))
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("CHOSHA.DAT.tmp")));
    else
        QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner));
    try {
        backupData(AppState::instance().mainConnectionString);
        QFile::setPermissions(folder.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFAIL("backup went through");
    } catch (const Failure &failure) {
        QFile::setPermissions(folder.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString expected = fault == u8("squat") ? u8("CHOSHA.DAT") : u8("BOOK.DAT");
        QVERIFY2(failure.message().contains(expected), qPrintable(failure.message()));
    }
    QCOMPARE(contents(chosha), QByteArray("earlier CHOSHA.DAT"));
    QCOMPARE(contents(folder.filePath(QStringLiteral("SAIZU.DAT"))),
             QByteArray("earlier SAIZU.DAT"));
    if (fault == u8("squat")) // the files before it are complete
        QCOMPARE(QFileInfo(folder.filePath(QStringLiteral("BOOK.DAT"))).size(), 12 * 324);
    else
        QCOMPARE(contents(folder.filePath(QStringLiteral("BOOK.DAT"))),
                 QByteArray("earlier BOOK.DAT"));
    QCOMPARE(openConnectionCount(catalogue()), 0);
}

void TestBackupRestore::backupOfMissingCatalogueNamesIt() {
    DataFolder folder;
    try {
        backupData(AppState::instance().mainConnectionString);
        QFAIL("backup went through without a catalogue");
    } catch (const Failure &failure) {
        QVERIFY2(failure.message().contains(u8("TOSHO")), qPrintable(failure.message()));
    }
    for (const QString &file : BackupFiles)
        QVERIFY(!QFileInfo::exists(folder.filePath(file)));
    QVERIFY(!QFileInfo::exists(folder.filePath(files::Catalogue)));
}

QTEST_GUILESS_MAIN(TestBackupRestore)
#include "tst_backuprestore.moc"
