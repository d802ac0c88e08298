#include "base/Failure.h"
#include "core/AppState.h"
#include "core/Startup.h"
#include "db/Connection.h"
#include "support/Catalogues.h"
#include "support/DataFolder.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QtTest>

using namespace hondana;
using namespace hondana::test;

namespace {

const QString Missing = "<missing>";
const QString Garbage = "<garbage>";
enum Outcome { Agreement, MainMenu, Fails };

// The files of one start and what start-up must make of them.
struct Start {
    QString configuration; // JETDB.VER's bytes, or Missing
    QString versionFile;   // name on disk, empty for none
    QString version;       // its VER row, NoRow, NullVersion or Garbage
    QString catalogueFile; // name on disk, empty for none
    bool accepted;
    bool templatePresent;
    Outcome outcome;
    QString installed; // or what a failure must say, parts split by "|"
    bool catalogueCopied;
};

} // namespace

Q_DECLARE_METATYPE(Start)

class tst_Startup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { AppState::instance().reset(); }

    void decidesFirstWindow_data() {
        QTest::addColumn<Start>("start");
        const QString line = "Provider=Microsoft.Jet.OLEDB.3.51;Persist Security Info=False;"
                             "Data Source=TOSHO.mdb;Mode=Share Deny None;\r\n";
        const QString intver = "INTVER.mdb";
        const QString tosho = "TOSHO.MDB";
        const QString notDatabase = "|データベースファイルではありません";
        auto row = [](const char *name, const Start &start) { QTest::newRow(name) << start; };
        // clang-format off
    row("first start", {line, "", "", "", false, true, Agreement, "1.01", true});
    row("earlier release without version database", {line, "", "", tosho, true, true, Agreement, "1.01", false});
    row("version table without row, no catalogue", {line, intver, NoRow, "", false, true, Agreement, "1.01", true});
    row("older version, catalogue present", {line, intver, "1.00", tosho, true, true, Agreement, "1.00", false});
    row("trailing blank does not match", {line, intver, "1.02 ", tosho, true, true, Agreement, "1.02 ", false});
    row("current version, not accepted", {line, intver, "1.02", tosho, false, true, Agreement, "1.02", false});
    row("current version, accepted", {line, intver, "1.02", tosho, true, true, MainMenu, "1.02", false});
    row("catalogue spelled in lower case", {line, intver, "1.02", "tosho.mdb", true, true, MainMenu, "1.02", false});
    row("lower-case catalogue is not replaced", {line, "", "", "tosho.mdb", false, true, Agreement, "1.01", false});
    row("version database spelled otherwise", {line, "intver.MDB", "1.02", tosho, true, true, MainMenu, "1.02", false});
    row("several lines, only the first counts", {line + "Data Source=nothere.mdb;\r\ngarbage\n", intver, "1.02", tosho, true, true, MainMenu, "1.02", false});
    row("line without semicolon", {"Data Source=TOSHO.mdb", intver, "1.02", tosho, true, true, MainMenu, "1.02", false});
    row("configuration missing", {Missing, "", "", "", false, true, Fails, "JETDB.VER", false});
    row("configuration of blank lines", {" \r\n\r\n", intver, "1.02", tosho, true, true, Fails, "JETDB.VER", false});
    row("provider the version connection cannot use", {"Provider=SQLOLEDB;Data Source=TOSHO.mdb", intver, "1.02", tosho, true, true, Fails, "JETDB.VER", false});
    row("null version", {line, intver, NullVersion, "", false, true, Fails, "INTVER.mdb", false});
    row("version database not a database", {line, intver, Garbage, "", false, true, Fails, intver + notDatabase, false});
    row("current version without catalogue", {line, intver, "1.02", "", false, true, Fails, "TOSHO.MDB", false});
    row("template missing", {line, "", "", "", false, false, Fails, "TOSHOINI.MDB", false});
        // clang-format on
    }

    void decidesFirstWindow() {
        QFETCH(Start, start);
        DataFolder folder;
        QFile::remove(folder.filePath("JETDB.VER"));
        if (start.configuration != Missing)
            writeFile("JETDB.VER", start.configuration.toUtf8());
        if (start.version == Garbage)
            writeFile(start.versionFile, "this is not a database, just text");
        else if (!start.versionFile.isEmpty())
            writeVersionDatabase(folder.path(), start.version, start.versionFile);
        if (!start.catalogueFile.isEmpty())
            makeCatalogue(folder.path(), 0, start.accepted, start.catalogueFile);
        if (!start.templatePresent)
            QVERIFY(QFile::remove("TOSHOINI.MDB"));
        const auto before = folderSnapshot();

        if (start.outcome == Fails) {
            try {
                decideFirstWindow();
                QFAIL("start-up went on");
            } catch (const Failure &failure) {
                for (const QString &part : start.installed.split(QLatin1Char('|')))
                    QVERIFY2(failure.message().contains(part), qPrintable(failure.message()));
            }
            QCOMPARE(folderSnapshot(), before);
            return;
        }

        QCOMPARE(int(decideFirstWindow()), int(start.outcome));
        const AppState &state = AppState::instance();
        QCOMPARE(state.installedVersion, start.installed);
        QCOMPARE(state.admission, start.outcome == MainMenu ? AppState::Admission::Yes
                                                            : AppState::Admission::Pending);
        QCOMPARE(state.workingDirectory, QDir::currentPath());
        QCOMPARE(state.versionDatabasePath, QDir::current().filePath("INTVER.mdb"));
        QCOMPARE(state.mainConnectionString, start.configuration.section('\n', 0, 0).trimmed());
        QCOMPARE(state.providerClause, start.configuration.contains(';')
                                           ? "Provider=Microsoft.Jet.OLEDB.3.51;"
                                           : QString());
        // The version database is read and let go: an upgrade must be able to replace it.
        if (!start.versionFile.isEmpty())
            QCOMPARE(openConnectionCount(folder.filePath(start.versionFile)), 0);
        auto after = folderSnapshot();
        if (start.catalogueCopied) {
            QCOMPARE(contents("TOSHO.MDB"), contents("TOSHOINI.MDB"));
            QVERIFY(QFileInfo("TOSHO.MDB").isWritable());
            QCOMPARE(after.remove("TOSHO.MDB"), 1);
        }
        QCOMPARE(after, before);
    }
};

QTEST_GUILESS_MAIN(tst_Startup)
#include "tst_startup.moc"
