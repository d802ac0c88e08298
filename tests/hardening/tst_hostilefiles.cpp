// Files in the working folder that are not what their names promise: each gets a clear message,
// no crash, and nothing in the folder (or outside it) changes. Start-up is tested through its
// decision function, backup and restore through hondana-admin.
#include "Harness.h"

#include "base/Failure.h"
#include "base/FileNames.h"
#include "db/Connection.h"
#include "db/ConnectionString.h"
#include "db/FilterExpression.h"
#include "db/InputParsing.h"
#include "maintenance/BackupFormat.h"
#include "support/DataFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSqlQuery>
#include <QtEndian>
#include <QtTest>
#include <cmath>
#include <limits>

using namespace hondana;
using namespace hondana::hardening;
using test::DataFolder;

namespace {

// Every file below `folder` (and the names beside it) with a digest of its bytes.
QMap<QString, QByteArray> snapshot(const QString &folder) {
    QMap<QString, QByteArray> result;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString path = dir.filePath(name);
        result.insert(name, QFileInfo(path).isDir() ? QByteArray("<folder>")
                                                    : QCryptographicHash::hash(
                                                          contents(path), QCryptographicHash::Md5));
    }
    return result;
}

// Which of the names a hostile configuration points at exist beside the working folder or at
// the absolute paths it names; none may appear.
QStringList namesBeside(const QString &folder) {
    QStringList found;
    for (const QString &path : {QDir(folder).filePath(u8("../x")),
                                QDir(folder).filePath(u8("../TOSHO.MDB")), u8("/tmp/TOSHO.MDB")}) {
        if (QFileInfo::exists(path))
            found << path;
    }
    return found;
}

void execute(const QString &path, const QStringList &statements) {
    const QString name = openDatabaseFile(path, u8("hostile"));
    {
        QSqlQuery query(QSqlDatabase::database(name, false));
        for (const QString &statement : statements) {
            if (!query.exec(statement))
                qFatal("%s", qPrintable(statement));
        }
    }
    closeDatabase(name);
}

// Makes the hostile file that a row of the start-up test names.
void makeHostile(const DataFolder &folder, const QString &setup) {
    const QString catalogue = folder.filePath(files::Catalogue);
    if (setup == u8("catalogue is text"))
        writeFile(catalogue, "This is not a database, just a note.\n");
    else if (setup == u8("catalogue is empty"))
        writeFile(catalogue, {});
    else if (setup == u8("catalogue is a folder")) {
        QFile::remove(catalogue);
        QDir().mkdir(catalogue);
    } else if (setup == u8("catalogue truncated"))
        writeFile(catalogue, contents(catalogue).left(3000));
    else if (setup == u8("catalogue without DOUI"))
        execute(catalogue, {u8("DROP TABLE DOUI")});
    else if (setup == u8("version database is text"))
        writeFile(folder.filePath(files::VersionDatabase), QByteArray(5000, '\xff'));
    else if (setup == u8("version table without VER column"))
        execute(folder.filePath(files::VersionDatabase),
                {u8("DROP TABLE VER"), u8("CREATE TABLE VER (OTHER TEXT)"),
                 u8("INSERT INTO VER VALUES ('1.02')")});
    else if (setup == u8("JETDB.VER of 10 MB without a line end"))
        writeFile(folder.filePath(files::Configuration),
                  "Provider=SQLite;Data Source=TOSHO.mdb;" + QByteArray(10 * 1024 * 1024, 'x'));
    else if (setup == u8("JETDB.VER of NUL bytes"))
        writeFile(folder.filePath(files::Configuration), QByteArray(100, '\0'));
    else if (setup == u8("JETDB.VER names the parent folder"))
        writeFile(folder.filePath(files::Configuration), "Provider=SQLite;Data Source=../x;\n");
    else if (setup == u8("JETDB.VER names an absolute path"))
        writeFile(folder.filePath(files::Configuration),
                  "Provider=SQLite;Data Source=" + QFile::encodeName(catalogue) + ";\n");
    else if (setup == u8("JETDB.VER names a data-link file naming itself")) {
        writeFile(folder.filePath(files::Configuration), "FILE NAME=Karobu.udl\n");
        writeFile(folder.filePath(files::CatalogueLink), "[oledb]\nFILE NAME=Karobu.udl\n");
    } else
        qFatal("unknown setup %s", qPrintable(setup));
}

QByteArray date(double days) {
    QByteArray bytes(8, '\0');
    qToLittleEndian<double>(days, bytes.data());
    return bytes;
}

// A BOOK.DAT record with a title, valid numbers and day 0 in every date.
QByteArray bookRecord(const QByteArray &title) {
    QByteArray record(324, ' ');
    record.replace(0, qMin<qsizetype>(title.size(), 50), title.left(50));
    for (int offset : {50, 54, 58, 72, 92, 96, 100, 248, 320})
        qToLittleEndian<qint32>(1, record.data() + offset);
    for (int offset : {76, 84, 312})
        record.replace(offset, 8, date(0.0));
    return record;
}

QByteArray withDate(QByteArray record, double days) {
    record.replace(76, 8, date(days));
    return record;
}

// Records whose text fields together hold every byte value in every position.
QByteArray everyByteInText() {
    QByteArray file;
    for (int shift = 0; shift < 256; shift += 7) {
        QByteArray record = bookRecord("x");
        int b = shift;
        for (const auto &[offset, width] : {std::pair{0, 50},
                                            {62, 10},
                                            {104, 4},
                                            {108, 20},
                                            {128, 20},
                                            {148, 100},
                                            {252, 20},
                                            {272, 40}}) {
            for (int i = 0; i < width; ++i)
                record[offset + i] = char(b++ & 0xFF);
        }
        file += record;
    }
    return file;
}

QByteArray everyByteValue(int length) {
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i)
        bytes[i] = char(i & 0xFF);
    return bytes;
}

} // namespace

class TestHostileFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startUpRefuses_data();
    void startUpRefuses();
    void dataLinkFilesStayInTheFolder_data();
    void dataLinkFilesStayInTheFolder();
    void backupOfHostileCatalogue_data();
    void backupOfHostileCatalogue();
    void restoreOfHostileFiles_data();
    void restoreOfHostileFiles();
    void restoreOverHostileTemplate_data();
    void restoreOverHostileTemplate();
    void foundByFuzzing_data();
    void foundByFuzzing();
};

void TestHostileFiles::startUpRefuses_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("fileNamed");
    QTest::addColumn<QString>("problem");
    const QString noDatabase = u8("データベースファイルではありません");
    QTest::newRow("text") << u8("catalogue is text") << files::Catalogue << noDatabase;
    QTest::newRow("empty") << u8("catalogue is empty") << u8("DOUI") << u8("必要な表がありません");
    QTest::newRow("folder") << u8("catalogue is a folder") << files::Catalogue << u8("ありません");
    QTest::newRow("truncated") << u8("catalogue truncated") << files::Catalogue << u8("壊れて");
    QTest::newRow("no DOUI") << u8("catalogue without DOUI") << u8("DOUI") << u8("必要な表");
    QTest::newRow("version text") << u8("version database is text") << files::VersionDatabase
                                  << noDatabase;
    QTest::newRow("version column") << u8("version table without VER column")
                                    << files::VersionDatabase << u8("必要な列がありません");
    QTest::newRow("10 MB line") << u8("JETDB.VER of 10 MB without a line end")
                                << files::Configuration << u8("長すぎます");
    QTest::newRow("NUL bytes") << u8("JETDB.VER of NUL bytes") << files::Configuration
                               << u8("使えません");
    QTest::newRow("parent folder")
        << u8("JETDB.VER names the parent folder") << u8("../x") << u8("作業フォルダーの外");
    QTest::newRow("absolute path")
        << u8("JETDB.VER names an absolute path") << files::Catalogue << u8("作業フォルダーの外");
    QTest::newRow("self-reference") << u8("JETDB.VER names a data-link file naming itself")
                                    << files::CatalogueLink << u8("別の接続ファイル");
}

void TestHostileFiles::startUpRefuses() {
    QFETCH(QString, setup);
    QFETCH(QString, fileNamed);
    QFETCH(QString, problem);
    DataFolder folder;
    prepareCatalogue(folder.path(), 5);
    makeHostile(folder, setup);
    const QMap<QString, QByteArray> before = snapshot(folder.path());
    const QStringList besideBefore = namesBeside(folder.path());

    QString failure;
    startUpIn(folder.path(), &failure);
    QVERIFY2(failure.contains(fileNamed), qPrintable(failure));
    QVERIFY2(failure.contains(problem), qPrintable(failure));
    QCOMPARE(snapshot(folder.path()), before);
    QCOMPARE(namesBeside(folder.path()), besideBefore);
}

// The data-link file the screens connect through may name only a file of the working folder.
void TestHostileFiles::dataLinkFilesStayInTheFolder_data() {
    QTest::addColumn<QByteArray>("link");
    QTest::addColumn<QString>("problem");
    const QString outside = u8("作業フォルダーの外");
    QTest::newRow("parent") << QByteArray("[oledb]\nProvider=SQLite;Data Source=../x\n") << outside;
    QTest::newRow("parent, backslash")
        << QByteArray("Provider=SQLite;Data Source=..\\TOSHO.MDB\n") << outside;
    QTest::newRow("absolute") << QByteArray("Provider=SQLite;Data Source=/tmp/TOSHO.MDB\n")
                              << outside;
    QTest::newRow("drive letter")
        << QByteArray("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\TOSHO.MDB\n") << outside;
    QTest::newRow("dot") << QByteArray("Provider=SQLite;Data Source=.\n") << outside;
    QTest::newRow("itself") << QByteArray("FILE NAME=Karobu.udl\n") << u8("別の接続ファイル");
    QTest::newRow("another link") << QByteArray("FILE NAME=KYODAKU.udl\n")
                                  << u8("別の接続ファイル");
    QTest::newRow("unknown provider")
        << QByteArray("Provider=SQLOLEDB;Data Source=TOSHO.mdb\n") << u8("プロバイダー");
    QTest::newRow("only comments")
        << QByteArray("[oledb]\n; nothing else\n") << u8("接続文字列がありません");
    QTest::newRow("too big") << QByteArray(100 * 1024, ';') << u8("大きすぎます");
}

void TestHostileFiles::dataLinkFilesStayInTheFolder() {
    QFETCH(QByteArray, link);
    QFETCH(QString, problem);
    DataFolder folder;
    prepareCatalogue(folder.path(), 5);
    writeFile(folder.filePath(files::CatalogueLink), link);
    const QMap<QString, QByteArray> before = snapshot(folder.path());
    const QStringList besideBefore = namesBeside(folder.path());

    Connection connection(u8("FILE NAME=Karobu.udl"));
    try {
        connection.open();
        QFAIL("a hostile data-link file was accepted");
    } catch (const Failure &failure) {
        QVERIFY2(failure.message().contains(problem), qPrintable(failure.message()));
    }
    QVERIFY(!connection.isOpen());
    QCOMPARE(snapshot(folder.path()), before);
    QCOMPARE(namesBeside(folder.path()), besideBefore);
}

void TestHostileFiles::backupOfHostileCatalogue_data() {
    QTest::addColumn<QStringList>("statements"); // run on a sound catalogue first
    QTest::addColumn<QByteArray>("replacement"); // else the catalogue's bytes
    QTest::addColumn<QString>("problem");
    QTest::newRow("not a database")
        << QStringList() << QByteArray(4096, 'Z') << u8("データベースファイルではありません");
    QTest::newRow("BOOK lacks columns")
        << QStringList{u8("DROP VIEW TQ1"), u8("DROP VIEW TQ2"), u8("DROP VIEW TQ3"),
                       u8("DROP INDEX BOOK_ORDER"), u8("ALTER TABLE BOOK DROP COLUMN 内容")}
        << QByteArray() << u8("必要な列がありません");
    QTest::newRow("no SAIZU table")
        << QStringList{u8("DROP VIEW TQ1"), u8("DROP VIEW TQ3"), u8("DROP TABLE SAIZU")}
        << QByteArray() << u8("必要な表がありません");
    QTest::newRow("price outside 32 bits")
        << QStringList{u8("PRAGMA ignore_check_constraints = ON"),
                       u8("UPDATE BOOK SET 価格 = 9223372036854775807 WHERE rowid = 3")}
        << QByteArray() << u8("32ビット");
    QTest::newRow("date that is no date")
        << QStringList{u8("PRAGMA ignore_check_constraints = ON"),
                       u8("UPDATE BOOK SET 発行日 = '2024-13-45' WHERE rowid = 2")}
        << QByteArray() << u8("日付ではありません");
}

void TestHostileFiles::backupOfHostileCatalogue() {
    QFETCH(QStringList, statements);
    QFETCH(QByteArray, replacement);
    QFETCH(QString, problem);
    DataFolder folder;
    prepareCatalogue(folder.path(), 10);
    for (const QString &name : BackupFileNames)
        writeFile(folder.filePath(name), "earlier " + name.toUtf8());
    if (!statements.isEmpty())
        execute(folder.filePath(files::Catalogue), statements);
    if (!replacement.isEmpty())
        writeFile(folder.filePath(files::Catalogue), replacement);
    const QMap<QString, QByteArray> before = snapshot(folder.path());

    const Outcome outcome = runAdmin(folder.path(), {u8("backup")});
    QVERIFY2(!outcome.crashed, qPrintable(outcome.err));
    QCOMPARE(outcome.exitCode, 1);
    QVERIFY2(outcome.err.contains(problem), qPrintable(outcome.err));
    // Files already finished may be new; none may be short, and the catalogue is untouched.
    const QMap<QString, QByteArray> after = snapshot(folder.path());
    QCOMPARE(after.value(files::Catalogue), before.value(files::Catalogue));
    for (const QString &name : BackupFileNames) {
        QVERIFY(!QFileInfo::exists(folder.filePath(name + u8(".tmp"))));
        if (after.value(name) != before.value(name))
            QCOMPARE(QFileInfo(folder.filePath(name)).size() % backup::layout(name).recordLength,
                     0);
    }
}

void TestHostileFiles::restoreOfHostileFiles_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("books");       // books after a successful restore; -1: refused
    QTest::addColumn<QString>("problem"); // what the refusal says
    const QByteArray book = bookRecord("本");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    const QString outOfRange = u8("西暦1年から9999年の範囲にありません");

    QTest::newRow("fragment after 3 books")
        << u8("BOOK.DAT") << book + book + book + "tail" << 3 << QString();
    QTest::newRow("only a fragment") << u8("BOOK.DAT") << book.left(323) << 0 << QString();
    QTest::newRow("CHOSHA.DAT fragment")
        << u8("CHOSHA.DAT") << QByteArray(105, '\x01') << -2 << QString();
    QTest::newRow("NaN date") << u8("BOOK.DAT") << book + withDate(book, nan) << -1 << u8("2 件目");
    QTest::newRow("infinite date")
        << u8("BOOK.DAT") << withDate(book, infinity) << -1 << outOfRange;
    QTest::newRow("huge date") << u8("BOOK.DAT") << withDate(book, 1e300) << -1 << outOfRange;
    QTest::newRow("huge negative date")
        << u8("BOOK.DAT") << withDate(book, -1e300) << -1 << outOfRange;
    QTest::newRow("day after 9999-12-31")
        << u8("BOOK.DAT") << withDate(book, 2958466.0) << -1 << outOfRange;
    QTest::newRow("last hour of 9999-12-31")
        << u8("BOOK.DAT") << withDate(book, 2958465.99) << 1 << QString();
    QTest::newRow("every byte in every text field")
        << u8("BOOK.DAT") << everyByteInText() << 37 << QString();
    QTest::newRow("every byte value, raw")
        << u8("BOOK.DAT") << everyByteValue(324 * 8) << -1 << u8("BOOK.DAT");
    QTest::newRow("every byte value in SAIZU.DAT")
        << u8("SAIZU.DAT") << everyByteValue(34 * 64) << -2 << QString();
}

void TestHostileFiles::restoreOfHostileFiles() {
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(int, books);
    QFETCH(QString, problem);
    DataFolder folder;
    prepareCatalogue(folder.path(), 10);
    backUp(folder.path());
    writeFile(folder.filePath(file), bytes);
    const QByteArray catalogueBefore = contents(folder.filePath(files::Catalogue));

    const Outcome outcome = runAdmin(folder.path(), {u8("restore"), u8("--yes")});
    QVERIFY2(!outcome.crashed, qPrintable(outcome.err));
    QVERIFY(!QFileInfo::exists(folder.filePath(files::WorkCopy)));
    if (books == -1) {
        QCOMPARE(outcome.exitCode, 1);
        QVERIFY2(outcome.err.contains(file), qPrintable(outcome.err));
        QVERIFY2(outcome.err.contains(problem), qPrintable(outcome.err));
        QVERIFY2(contents(folder.filePath(files::Catalogue)) == catalogueBefore,
                 "the catalogue changed");
        return;
    }
    QVERIFY2(outcome.exitCode == 0, qPrintable(outcome.err));
    QCOMPARE(integrityCheck(folder.filePath(files::Catalogue)), u8("ok"));
    if (books >= 0) {
        const QString name = openDatabaseFile(folder.filePath(files::Catalogue), u8("count"));
        {
            QSqlQuery query(QSqlDatabase::database(name, false));
            QVERIFY(query.exec(u8("SELECT count(*) FROM BOOK")) && query.next());
            QCOMPARE(query.value(0).toInt(), books);
        }
        closeDatabase(name);
    }
    // What was restored backs up again.
    const Outcome again = runAdmin(folder.path(), {u8("backup")});
    QVERIFY2(again.exitCode == 0, qPrintable(again.err));
}

// The template restore copies must be a catalogue; anything else stops the restore before the
// catalogue is touched.
void TestHostileFiles::restoreOverHostileTemplate_data() {
    QTest::addColumn<QStringList>("statements"); // run on the template
    QTest::addColumn<QByteArray>("replacement"); // else the template's bytes
    QTest::addColumn<QString>("problem");
    QTest::newRow("not a database")
        << QStringList() << QByteArray(8192, '\x5c') << u8("データベースファイルではありません");
    QTest::newRow("BOOK lacks a column")
        << QStringList{u8("DROP VIEW TQ1"), u8("DROP VIEW TQ2"), u8("DROP VIEW TQ3"),
                       u8("DROP INDEX BOOK_ORDER"), u8("ALTER TABLE BOOK DROP COLUMN 購入先")}
        << QByteArray() << u8("必要な列がありません");
    QTest::newRow("no HAKKOU table") << QStringList{u8("DROP VIEW TQ1"), u8("DROP VIEW TQ2"),
                                                    u8("DROP VIEW TQ3"), u8("DROP TABLE HAKKOU")}
                                     << QByteArray() << u8("必要な表がありません");
}

void TestHostileFiles::restoreOverHostileTemplate() {
    QFETCH(QStringList, statements);
    QFETCH(QByteArray, replacement);
    QFETCH(QString, problem);
    DataFolder folder;
    prepareCatalogue(folder.path(), 10);
    backUp(folder.path());
    const QString restoreTemplate = folder.filePath(files::RestoreTemplate);
    if (!statements.isEmpty())
        execute(restoreTemplate, statements);
    if (!replacement.isEmpty())
        writeFile(restoreTemplate, replacement);
    const QMap<QString, QByteArray> before = snapshot(folder.path());

    const Outcome outcome = runAdmin(folder.path(), {u8("restore"), u8("--yes")});
    QVERIFY2(!outcome.crashed, qPrintable(outcome.err));
    QCOMPARE(outcome.exitCode, 1);
    QVERIFY2(outcome.err.contains(problem), qPrintable(outcome.err));
    QCOMPARE(snapshot(folder.path()), before);
}

// Inputs that once broke a fuzz target, kept as tests of the functions concerned.
void TestHostileFiles::foundByFuzzing_data() {
    QTest::addColumn<QString>("what");
    QTest::newRow("data-link file naming itself") << u8("link");
    QTest::newRow("most negative 64-bit number shown") << u8("format");
    QTest::newRow("filter nested 8000 deep") << u8("filter");
}

void TestHostileFiles::foundByFuzzing() {
    QFETCH(QString, what);
    if (what == u8("link")) {
        DataFolder folder(DataFolder::Empty);
        writeFile(folder.filePath(u8("link.udl")), "FILE NAME=link.udl\n");
        QVERIFY_THROWS_EXCEPTION(Failure,
                                 parseConnectionString(u8("FILE NAME=link.udl"), folder.path()));
    } else if (what == u8("filter")) {
        const auto nested = [](int depth) {
            return QString(depth, u'(') + u8("題名 LIKE 'ソ*'") + QString(depth, u')');
        };
        const FilterExpression shallow = FilterExpression::parse(nested(50));
        QVERIFY(shallow.matches([](int) { return QVariant(u8("ソフト")); }));
        QVERIFY_THROWS_EXCEPTION(Failure, FilterExpression::parse(nested(8000)));
    } else {
        QCOMPARE(input::format(QVariant::fromValue(std::numeric_limits<qint64>::min()),
                               input::NumberFormat),
                 u8("-9,223,372,036,854,775,808"));
    }
}

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
