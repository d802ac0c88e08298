#include "base/FileNames.h"
#include "db/Connection.h"
#include "support/CatalogueGenerator.h"
#include "support/DataFolder.h"
#include "support/TestFiles.h"

#include <QProcess>
#include <QSqlQuery>
#include <QtTest>

using namespace hondana;
using test::contents;
using test::DataFolder;
using test::u8;

namespace {

struct Outcome {
    int exitCode = -1;
    bool crashed = false;
    QString out;
    QString err;
};

Outcome runAdmin(const QString &folder, const QStringList &arguments, const QString &killAt = {}) {
    QProcess process;
    process.setWorkingDirectory(folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("HONDANA_KILL_AT"));
    if (!killAt.isEmpty())
        environment.insert(QStringLiteral("HONDANA_KILL_AT"), killAt);
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QStringLiteral(HONDANA_ADMIN), arguments);
    Outcome outcome;
    if (!process.waitForFinished(60000)) {
        process.kill();
        return outcome;
    }
    outcome.crashed = process.exitStatus() == QProcess::CrashExit;
    outcome.exitCode = process.exitCode();
    outcome.out = QString::fromUtf8(process.readAllStandardOutput());
    outcome.err = QString::fromUtf8(process.readAllStandardError());
    return outcome;
}

qint64 bookCount(const QString &path) {
    const QString name = openDatabaseFile(path, QStringLiteral("test"));
    qint64 count = -1;
    {
        QSqlQuery query(QSqlDatabase::database(name, false));
        if (query.exec(QStringLiteral("SELECT count(*) FROM BOOK")) && query.next())
            count = query.value(0).toLongLong();
    }
    closeDatabase(name);
    return count;
}

// A working folder with a catalogue of `books` generated books.
void prepare(const DataFolder &folder, int books) {
    folder.copyShipped(files::CatalogueTemplate, files::Catalogue);
    test::CatalogueShape shape;
    shape.books = books;
    shape.authors = 50;
    shape.publishers = 20;
    test::generateCatalogue(folder.filePath(files::Catalogue), shape);
}

} // namespace

class TestAdmin : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void exitCodesAndMessages_data();
    void exitCodesAndMessages();
    void backupThenRestore();
    void killedRestoreLeavesASoundCatalogue_data();
    void killedRestoreLeavesASoundCatalogue();
    void killedBackupKeepsEarlierFiles();
};

void TestAdmin::exitCodesAndMessages_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutHas");
    QTest::addColumn<QString>("stderrHas");
    QTest::newRow("help") << QStringList{u8("--help")} << QString() << 0 << u8("使い方")
                          << QString();
    QTest::newRow("no command") << QStringList{} << QString() << 2 << QString() << u8("使い方");
    QTest::newRow("unknown command")
        << QStringList{u8("frobnicate")} << QString() << 2 << QString() << u8("frobnicate");
    QTest::newRow("two commands") << QStringList{u8("backup"), u8("restore")} << QString() << 2
                                  << QString() << u8("コマンドを1つ");
    QTest::newRow("backup") << QStringList{u8("backup")} << u8("catalogue") << 0
                            << u8("バックアップを完了") << QString();
    QTest::newRow("backup without JETDB.VER")
        << QStringList{u8("backup")} << u8("no configuration") << 1 << QString() << u8("JETDB.VER");
    QTest::newRow("backup without catalogue")
        << QStringList{u8("backup")} << u8("no catalogue") << 1 << QString() << u8("TOSHO");
    QTest::newRow("restore without terminal or --yes")
        << QStringList{u8("restore")} << u8("backup files") << 3 << QString() << u8("--yes");
    QTest::newRow("restore --yes") << QStringList{u8("restore"), u8("--yes")} << u8("backup files")
                                   << 0 << u8("復元を完了") << QString();
    QTest::newRow("restore -y without HAKKO.DAT")
        << QStringList{u8("-y"), u8("restore")} << u8("no HAKKO.DAT") << 1 << QString()
        << u8("HAKKO.DAT");
}

void TestAdmin::exitCodesAndMessages() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, setup);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutHas);
    QFETCH(QString, stderrHas);
    DataFolder folder;
    if (setup != u8("no catalogue"))
        prepare(folder, 20);
    if (setup == u8("no configuration"))
        QVERIFY(QFile::remove(folder.filePath(files::Configuration)));
    if (setup == u8("backup files") || setup == u8("no HAKKO.DAT"))
        QCOMPARE(runAdmin(folder.path(), {u8("backup")}).exitCode, 0);
    if (setup == u8("no HAKKO.DAT"))
        QVERIFY(QFile::remove(folder.filePath(u8("HAKKO.DAT"))));
    const QByteArray before = contents(folder.filePath(files::Catalogue));

    const Outcome outcome = runAdmin(folder.path(), arguments);
    QVERIFY(!outcome.crashed);
    QCOMPARE(outcome.exitCode, exitCode);
    if (!stdoutHas.isEmpty())
        QVERIFY2(outcome.out.contains(stdoutHas), qPrintable(outcome.out));
    if (!stderrHas.isEmpty())
        QVERIFY2(outcome.err.contains(stderrHas), qPrintable(outcome.err));
    if (exitCode != 0)
        QVERIFY2(contents(folder.filePath(files::Catalogue)) == before, "the catalogue changed");
    if (arguments.contains(u8("backup")) && exitCode == 0)
        QCOMPARE(QFileInfo(folder.filePath(u8("BOOK.DAT"))).size(), 20 * 324);
}

void TestAdmin::backupThenRestore() {
    DataFolder folder;
    prepare(folder, 50);
    QCOMPARE(runAdmin(folder.path(), {u8("backup")}).exitCode, 0);
    const QByteArray books = contents(folder.filePath(u8("BOOK.DAT")));
    QFile::remove(folder.filePath(files::Catalogue));
    QCOMPARE(runAdmin(folder.path(), {u8("restore"), u8("--yes")}).exitCode, 0);
    QCOMPARE(bookCount(folder.filePath(files::Catalogue)), 50);
    QCOMPARE(runAdmin(folder.path(), {u8("backup")}).exitCode, 0);
    QVERIFY(contents(folder.filePath(u8("BOOK.DAT"))) == books);
}

// Killed at any step, restore leaves either the old catalogue untouched or the complete new one,
// and the next restore goes through.
void TestAdmin::killedRestoreLeavesASoundCatalogue_data() {
    QTest::addColumn<QString>("step");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("check") << u8("restore.check") << false;
    QTest::newRow("copy") << u8("restore.copy") << false;
    QTest::newRow("fill") << u8("restore.fill") << false;
    QTest::newRow("commit") << u8("restore.commit") << false;
    QTest::newRow("sync") << u8("restore.sync") << false;
    QTest::newRow("rename") << u8("restore.rename") << false;
    QTest::newRow("renamed") << u8("restore.renamed") << true;
}

void TestAdmin::killedRestoreLeavesASoundCatalogue() {
    QFETCH(QString, step);
    QFETCH(bool, replaced);
    DataFolder folder;
    prepare(folder, 30);
    QCOMPARE(runAdmin(folder.path(), {u8("backup")}).exitCode, 0);
    {
        const QString name =
            openDatabaseFile(folder.filePath(files::Catalogue), QStringLiteral("t"));
        QSqlQuery(QSqlDatabase::database(name, false))
            .exec(u8("INSERT INTO BOOK (題名) VALUES ('あとから足した本')"));
        closeDatabase(name);
    }
    const QByteArray before = contents(folder.filePath(files::Catalogue));

    const Outcome killed = runAdmin(folder.path(), {u8("restore"), u8("--yes")}, step);
    QVERIFY(killed.crashed);
    if (replaced)
        QCOMPARE(bookCount(folder.filePath(files::Catalogue)), 30);
    else
        QVERIFY2(contents(folder.filePath(files::Catalogue)) == before, "the catalogue changed");

    QCOMPARE(runAdmin(folder.path(), {u8("restore"), u8("--yes")}).exitCode, 0);
    QCOMPARE(bookCount(folder.filePath(files::Catalogue)), 30);
    QVERIFY(!QFileInfo::exists(folder.filePath(files::WorkCopy)));
}

void TestAdmin::killedBackupKeepsEarlierFiles() {
    DataFolder folder;
    prepare(folder, 10);
    for (const char *file : {"BOOK.DAT", "BUNYA.DAT", "CHOSHA.DAT", "HAKKO.DAT", "SAIZU.DAT"}) {
        QFile out(folder.filePath(u8(file)));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("earlier");
    }
    const Outcome killed = runAdmin(folder.path(), {u8("backup")}, u8("backup.CHOSHA.DAT"));
    QVERIFY(killed.crashed);
    QCOMPARE(QFileInfo(folder.filePath(u8("BOOK.DAT"))).size(), 10 * 324);
    QCOMPARE(contents(folder.filePath(u8("CHOSHA.DAT"))), QByteArray("earlier"));
    QCOMPARE(contents(folder.filePath(u8("SAIZU.DAT"))), QByteArray("earlier"));
    // The next backup writes over what the killed one left behind.
    QCOMPARE(runAdmin(folder.path(), {u8("backup")}).exitCode, 0);
    QCOMPARE(QFileInfo(folder.filePath(u8("CHOSHA.DAT"))).size(), 50 * 104);
    QVERIFY(!QFileInfo::exists(folder.filePath(u8("CHOSHA.DAT.tmp"))));
}

QTEST_GUILESS_MAIN(TestAdmin)
#include "tst_admin.moc"
