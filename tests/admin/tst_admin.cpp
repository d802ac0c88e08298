// What hondana-admin answers on its command line. Its behaviour under kills, failing disks and
// hostile files is the hardening tests' subject.
#include "hardening/Harness.h"

#include "base/FileNames.h"
#include "support/Catalogues.h"
#include "support/DataFolder.h"
#include "support/TestSql.h"

#include <QtTest>

using namespace hondana;
using hardening::runAdmin;
using test::contents;
using test::u8;

class TestAdmin : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void exitCodesAndMessages_data();
    void exitCodesAndMessages();
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
    test::DataFolder folder;
    if (setup != u8("no catalogue"))
        test::makeCatalogue(folder.path(), 20);
    if (setup == u8("no configuration"))
        QVERIFY(QFile::remove(folder.filePath(files::Configuration)));
    if (setup == u8("backup files") || setup == u8("no HAKKO.DAT")) {
        QCOMPARE(runAdmin(folder.path(), {u8("backup")}).exitCode, 0);
        // A book added since the backup, which a restore takes away again.
        test::SqlFile(folder.filePath(files::Catalogue))
            .exec(u8("INSERT INTO BOOK (題名) VALUES ('あとから足した本')"));
    }
    if (setup == u8("no HAKKO.DAT"))
        QVERIFY(QFile::remove(folder.filePath(u8("HAKKO.DAT"))));
    const QByteArray before = contents(folder.filePath(files::Catalogue));

    const hardening::Outcome outcome = runAdmin(folder.path(), arguments);
    QVERIFY(!outcome.crashed);
    QCOMPARE(outcome.exitCode, exitCode);
    if (!stdoutHas.isEmpty())
        QVERIFY2(outcome.out.contains(stdoutHas), qPrintable(outcome.out));
    if (!stderrHas.isEmpty())
        QVERIFY2(outcome.err.contains(stderrHas), qPrintable(outcome.err));
    if (exitCode != 0)
        QVERIFY2(contents(folder.filePath(files::Catalogue)) == before, "the catalogue changed");
    else if (arguments.contains(u8("backup")))
        QCOMPARE(QFileInfo(folder.filePath(u8("BOOK.DAT"))).size(), 20 * 324);
    else if (arguments.contains(u8("restore")))
        QCOMPARE(test::SqlFile(folder.filePath(files::Catalogue))
                     .value(u8("SELECT count(*) FROM BOOK"))
                     .toInt(),
                 20);
}

QTEST_GUILESS_MAIN(TestAdmin)
#include "tst_admin.moc"
