#include "Fixtures.h"

#include "base/Failure.h"
#include "core/AppState.h"
#include "core/Startup.h"
#include "db/Connection.h"
#include "support/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using namespace hondana;
using namespace hondana::test;

namespace {

const QString Missing = QStringLiteral("<missing>");
const QString ShippedLine = QStringLiteral(
    "Provider=Microsoft.Jet.OLEDB.3.51;Persist Security Info=False;Data Source=TOSHO.mdb;"
    "Mode=Share Deny None;");

enum Outcome { Agreement, MainMenu, Fails };

void writeText(const QString &fileName, const QByteArray &bytes) {
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class tst_Startup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { AppState::instance().reset(); }

    void decidesFirstWindow_data();
    void decidesFirstWindow();
    void versionConnectionHasNoProviderWithoutSemicolon();
    void releasesTheVersionDatabase();
};

void tst_Startup::decidesFirstWindow_data() {
    QTest::addColumn<QString>("configuration"); // JETDB.VER's bytes, or Missing
    QTest::addColumn<QString>("versionFile");   // name on disk, empty for none
    QTest::addColumn<QString>("version");       // VER row, NoRow, NullVersion or "<garbage>"
    QTest::addColumn<QString>("catalogueFile"); // name on disk, empty for none
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("templatePresent");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("installed"); // or the file a failure must name
    QTest::addColumn<bool>("catalogueCopied");

    const QString line = ShippedLine + QStringLiteral("\r\n");
    const QString intver = QStringLiteral("INTVER.mdb");
    const QString tosho = QStringLiteral("TOSHO.MDB");
    // clang-format off
    QTest::newRow("first start") << line << "" << "" << "" << false << true
                                 << int(Agreement) << "1.01" << true;
    QTest::newRow("earlier release without version database") << line << "" << "" << tosho << true
                                 << true << int(Agreement) << "1.01" << false;
    QTest::newRow("version table without row, no catalogue") << line << intver << NoRow << ""
                                 << false << true << int(Agreement) << "1.01" << true;
    QTest::newRow("older version, catalogue present") << line << intver << "1.00" << tosho << true
                                 << true << int(Agreement) << "1.00" << false;
    QTest::newRow("trailing blank does not match") << line << intver << "1.02 " << tosho << true
                                 << true << int(Agreement) << "1.02 " << false;
    QTest::newRow("missing zero does not match") << line << intver << "1.2" << tosho << true
                                 << true << int(Agreement) << "1.2" << false;
    QTest::newRow("current version, not accepted") << line << intver << "1.02" << tosho << false
                                 << true << int(Agreement) << "1.02" << false;
    QTest::newRow("current version, accepted") << line << intver << "1.02" << tosho << true
                                 << true << int(MainMenu) << "1.02" << false;
    QTest::newRow("catalogue spelled in lower case") << line << intver << "1.02" << "tosho.mdb"
                                 << true << true << int(MainMenu) << "1.02" << false;
    QTest::newRow("lower-case catalogue is not replaced") << line << "" << "" << "tosho.mdb"
                                 << false << true << int(Agreement) << "1.01" << false;
    QTest::newRow("version database spelled otherwise") << line << "intver.MDB" << "1.02" << tosho
                                 << true << true << int(MainMenu) << "1.02" << false;
    QTest::newRow("several lines, only the first counts")
                                 << line + "Data Source=nothere.mdb;\r\ngarbage\n" << intver
                                 << "1.02" << tosho << true << true << int(MainMenu) << "1.02"
                                 << false;
    QTest::newRow("line without semicolon") << "Data Source=TOSHO.mdb" << intver << "1.02" << tosho
                                 << true << true << int(MainMenu) << "1.02" << false;
    QTest::newRow("configuration missing") << Missing << "" << "" << "" << false << true
                                 << int(Fails) << "JETDB.VER" << false;
    QTest::newRow("configuration empty") << "" << "" << "" << "" << false << true
                                 << int(Fails) << "JETDB.VER" << false;
    QTest::newRow("configuration of blank lines") << " \r\n\r\n" << intver << "1.02" << tosho
                                 << true << true << int(Fails) << "JETDB.VER" << false;
    QTest::newRow("provider the version connection cannot use")
        << "Provider=SQLOLEDB;Data Source=TOSHO.mdb" << intver << "1.02" << tosho << true << true
        << int(Fails) << "JETDB.VER" << false;
    QTest::newRow("catalogue outside the working folder")
        << "Provider=Microsoft.Jet.OLEDB.3.51;Data Source=../TOSHO.mdb;" << intver << "1.02"
        << tosho << true << true << int(Fails) << "JETDB.VER" << false;
    QTest::newRow("null version") << line << intver << NullVersion << "" << false << true
                                 << int(Fails) << "INTVER.mdb" << false;
    QTest::newRow("version database not a database") << line << intver << "<garbage>" << ""
                                 << false << true << int(Fails) << "INTVER.mdb" << false;
    QTest::newRow("current version without catalogue") << line << intver << "1.02" << "" << false
                                 << true << int(Fails) << "TOSHO.MDB" << false;
    QTest::newRow("catalogue not a database") << line << intver << "1.02" << "<garbage>" << false
                                 << true << int(Fails) << "TOSHO" << false;
    QTest::newRow("template missing") << line << "" << "" << "" << false << false
                                 << int(Fails) << "TOSHOINI.MDB" << false;
    // clang-format on
}

void tst_Startup::decidesFirstWindow() {
    QFETCH(QString, configuration);
    QFETCH(QString, versionFile);
    QFETCH(QString, version);
    QFETCH(QString, catalogueFile);
    QFETCH(bool, accepted);
    QFETCH(bool, templatePresent);
    QFETCH(int, outcome);
    QFETCH(QString, installed);
    QFETCH(bool, catalogueCopied);

    DataFolder folder;
    QFile::remove(folder.filePath("JETDB.VER"));
    if (configuration != Missing)
        writeText("JETDB.VER", configuration.toUtf8());
    if (version == "<garbage>")
        writeText(versionFile, "this is not a database, just text");
    else if (!versionFile.isEmpty())
        writeVersionDatabase(version, versionFile);
    if (catalogueFile == "<garbage>")
        writeText("TOSHO.MDB", QByteArray(4096, 'x'));
    else if (!catalogueFile.isEmpty())
        writeCatalogue(catalogueFile, accepted);
    if (!templatePresent)
        QVERIFY(QFile::remove("TOSHOINI.MDB"));
    const auto before = folderSnapshot();

    if (outcome == Fails) {
        try {
            decideFirstWindow();
            QFAIL("start-up went on");
        } catch (const Failure &failure) {
            QVERIFY2(failure.message().contains(installed), qPrintable(failure.message()));
        }
        QCOMPARE(folderSnapshot(), before);
        return;
    }

    const FirstWindow window = decideFirstWindow();
    const AppState &state = AppState::instance();
    QCOMPARE(int(window), outcome);
    QCOMPARE(state.installedVersion, installed);
    QCOMPARE(state.admission,
             outcome == MainMenu ? AppState::Admission::Yes : AppState::Admission::Pending);
    QCOMPARE(state.subWindowFlag, qint16(0));
    QCOMPARE(state.workingDirectory, QDir::currentPath());
    QCOMPARE(state.versionDatabasePath, QDir::current().filePath("INTVER.mdb"));
    QCOMPARE(state.mainConnectionString, configuration.section(QLatin1Char('\n'), 0, 0).trimmed());
    QCOMPARE(state.providerClause,
             configuration.contains(';') ? "Provider=Microsoft.Jet.OLEDB.3.51;" : QString());

    auto after = folderSnapshot();
    if (catalogueCopied) {
        QCOMPARE(fileBytes("TOSHO.MDB"), fileBytes("TOSHOINI.MDB"));
        QVERIFY(QFileInfo(QStringLiteral("TOSHO.MDB")).isWritable());
        QVERIFY(after.remove(QStringLiteral("TOSHO.MDB")) == 1);
    }
    QCOMPARE(after, before);
}

void tst_Startup::versionConnectionHasNoProviderWithoutSemicolon() {
    QCOMPARE(versionConnectionString(QString()),
             QStringLiteral("Data Source=INTVER.mdb;Persist Security Info=False"));
    QCOMPARE(versionConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;")),
             QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=INTVER.mdb;"
                            "Persist Security Info=False"));
}

void tst_Startup::releasesTheVersionDatabase() {
    DataFolder folder;
    writeVersionDatabase(QStringLiteral("1.00"));
    QCOMPARE(readInstalledVersion(versionConnectionString(QString())), QStringLiteral("1.00"));
    QCOMPARE(openConnectionCount(folder.filePath("INTVER.mdb")), 0);
}

QTEST_GUILESS_MAIN(tst_Startup)
#include "tst_startup.moc"
