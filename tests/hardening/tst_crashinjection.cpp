// The process is killed (SIGKILL) at every named step of backup, restore, the first acceptance
// and the version upgrade, and at random moments. Afterwards TOSHO.MDB must be sound and hold
// exactly the old or exactly the new data, no journal may be left to change it, the next
// start-up must choose the window the decision table gives, and running the operation again
// must finish the job.
#include "Harness.h"

#include "base/FileNames.h"
#include "support/DataFolder.h"

#include <QDir>
#include <QRandomGenerator>
#include <QtTest>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace hondana;
using namespace hondana::hardening;
using test::DataFolder;

namespace {

const int Books = 30;

enum class Data { Old, New };

QString catalogue(const DataFolder &folder) {
    return folder.filePath(files::Catalogue);
}

// Leaves the catalogue as a save cut short by a crash leaves it: changed pages in the file and
// the journal that undoes them beside it. A child process starts the save and dies mid-way.
void leaveHotJournal(const QString &path) {
    const QByteArray file = QFile::encodeName(path);
    const pid_t child = fork();
    if (child == 0) {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        // A one-page cache makes SQLite write changed pages into the file before the commit.
        sqlite3_exec(db, "PRAGMA cache_size = 1; BEGIN; UPDATE BOOK SET 内容 = hex(randomblob(45))",
                     nullptr, nullptr, nullptr);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    QVERIFY2(QFileInfo::exists(path + u8("-journal")), "the cut-short save left no journal");
}

// Sets up the folder for `operation` and returns what the catalogue holds before it.
QByteArray prepareFor(const QString &operation, const DataFolder &folder) {
    if (operation == u8("accept"))
        return catalogueDigest(catalogue(folder)); // first start: no catalogue yet
    prepareCatalogue(folder.path(), Books, operation != u8("upgrade"));
    if (operation == u8("restore-after-crash")) {
        backUp(folder.path());
        prepareCatalogue(folder.path(), Books + 1);
        const QByteArray digest = catalogueDigest(catalogue(folder));
        leaveHotJournal(catalogue(folder));
        return digest;
    }
    if (operation == u8("restore")) {
        backUp(folder.path());
        // A book added after the backup tells the old catalogue from the restored one.
        prepareCatalogue(folder.path(), Books + 1);
    }
    if (operation == u8("backup")) {
        for (const QString &name : BackupFileNames)
            writeFile(folder.filePath(name), "earlier backup of " + name.toUtf8());
    }
    return catalogueDigest(catalogue(folder));
}

Outcome runOperation(const QString &operation, const QString &folder, const QString &killAt) {
    if (operation == u8("backup"))
        return runAdmin(folder, {u8("backup")}, killAt);
    if (operation.startsWith(u8("restore")))
        return runAdmin(folder, {u8("restore"), u8("--yes")}, killAt);
    return runDriver(folder, killAt);
}

// What must hold of the folder after any kill, whatever the step.
void checkSound(const DataFolder &folder, const QByteArray &before, const QByteArray &after) {
    if (!QFileInfo::exists(catalogue(folder))) {
        QVERIFY2(before.isEmpty(), "the catalogue disappeared");
        return;
    }
    QCOMPARE(journalFiles(catalogue(folder)), QStringList());
    QCOMPARE(integrityCheck(catalogue(folder)), u8("ok"));
    const QByteArray now = catalogueDigest(catalogue(folder));
    QVERIFY2(now == before || now == after, "the catalogue holds neither the old nor the new data");
}

void checkStartUp(const DataFolder &folder) {
    const FirstWindow expected = expectedFirstWindow(folder.path());
    QString failure;
    const FirstWindow window = startUpIn(folder.path(), &failure);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(int(window), int(expected));
}

// Runs the operation to its end, as the user would after the crash.
void finish(const QString &operation, const DataFolder &folder) {
    const Outcome again = runOperation(operation, folder.path(), {});
    QVERIFY2(!again.crashed && again.exitCode == 0, qPrintable(again.err));
    if (operation == u8("upgrade") || operation == u8("accept")) {
        // A first acceptance killed after its record asks once more and then upgrades.
        const Outcome last = runDriver(folder.path());
        QVERIFY2(last.exitCode == 0, qPrintable(last.err));
        QCOMPARE(last.out.trimmed(), u8("main menu"));
    }
    QVERIFY(!QFileInfo::exists(folder.filePath(files::WorkCopy)));
    for (const QString &name : BackupFileNames)
        QVERIFY(!QFileInfo::exists(folder.filePath(name + u8(".tmp"))));
}

void addStep(const char *operation, const QString &step, Data data) {
    QTest::addRow("%s %s", operation, qPrintable(step)) << u8(operation) << step << int(data);
}

} // namespace

class TestCrashInjection : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void killAtEveryStep_data();
    void killAtEveryStep();
    void killedBackupLeavesNoShortFile_data();
    void killedBackupLeavesNoShortFile();
    void killsAtRandomMoments();
};

void TestCrashInjection::killAtEveryStep_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("data"); // what the catalogue must hold right after the kill

    const QStringList restoreBeforeRename = {u8("restore.check"), u8("restore.copy"),
                                             u8("restore.fill"),  u8("restore.commit"),
                                             u8("restore.sync"),  u8("restore.rename")};
    for (const QString &step : restoreBeforeRename)
        addStep("restore", step, Data::Old);
    addStep("restore", u8("restore.renamed"), Data::New);
    // The old catalogue's journal must never be replayed into the new one.
    addStep("restore-after-crash", u8("restore.rename"), Data::Old);
    addStep("restore-after-crash", u8("restore.renamed"), Data::New);

    for (const QString &name : BackupFileNames) {
        addStep("upgrade", u8("backup.") + name, Data::Old);
        addStep("upgrade", u8("replace.%1.flushed").arg(name), Data::Old);
        addStep("upgrade", u8("replace.%1.renamed").arg(name), Data::Old);
    }
    addStep("upgrade", u8("upgrade.backedup"), Data::Old);
    for (const QString &step : restoreBeforeRename)
        addStep("upgrade", step, Data::Old);
    for (const char *step : {"restore.renamed", "upgrade.restored", "copy.INTVER.mdb",
                             "copy.INTVER.mdb.done", "upgrade.installed"})
        addStep("upgrade", u8(step), Data::New);

    for (const char *step : {"copy.TOSHO.MDB", "copy.TOSHO.MDB.done", "accept.recorded",
                             "copy.INTVER.mdb", "copy.INTVER.mdb.done"})
        addStep("accept", u8(step), Data::New);
}

void TestCrashInjection::killAtEveryStep() {
    QFETCH(QString, operation);
    QFETCH(QString, step);
    QFETCH(int, data);
    DataFolder folder;
    const QByteArray before = prepareFor(operation, folder);

    const Outcome killed = runOperation(operation, folder.path(), step);
    QVERIFY2(killed.crashed, qPrintable(u8("the step was never reached: ") + killed.err));
    const QByteArray afterKill = catalogueDigest(catalogue(folder));
    if (afterKill.isEmpty())
        QVERIFY2(!QFileInfo::exists(catalogue(folder)), "the catalogue is unreadable");
    QCOMPARE(journalFiles(catalogue(folder)), QStringList());
    if (QFileInfo::exists(catalogue(folder)))
        QCOMPARE(integrityCheck(catalogue(folder)), u8("ok"));
    checkStartUp(folder);

    finish(operation, folder);
    const QByteArray after = catalogueDigest(catalogue(folder));
    QCOMPARE(integrityCheck(catalogue(folder)), u8("ok"));
    if (operation != u8("accept"))
        QCOMPARE(afterKill, Data(data) == Data::Old ? before : after);
    else // no catalogue yet, the bare template, or the accepted one
        QVERIFY(afterKill.isEmpty() || afterKill == after ||
                afterKill == catalogueDigest(folder.filePath(files::CatalogueTemplate)));
    checkStartUp(folder);
}

// Killed while it writes, backup keeps every earlier file or writes the complete new one; no
// file under its real name is ever short. The catalogue is only read.
void TestCrashInjection::killedBackupLeavesNoShortFile_data() {
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("replacedFiles"); // how many files are new right after the kill
    for (int i = 0; i < BackupFileNames.size(); ++i) {
        const QString &name = BackupFileNames[i];
        QTest::addRow("%s", qPrintable(u8("backup.") + name)) << u8("backup.") + name << i;
        QTest::addRow("%s flushed", qPrintable(name)) << u8("replace.%1.flushed").arg(name) << i;
        QTest::addRow("%s renamed", qPrintable(name))
            << u8("replace.%1.renamed").arg(name) << i + 1;
    }
}

void TestCrashInjection::killedBackupLeavesNoShortFile() {
    QFETCH(QString, step);
    QFETCH(int, replacedFiles);
    DataFolder folder;
    const QByteArray before = prepareFor(u8("backup"), folder);
    const QByteArray catalogueBytes = contents(catalogue(folder));
    const QMap<QString, QByteArray> earlier = backupFiles(folder.path());

    QVERIFY(runOperation(u8("backup"), folder.path(), step).crashed);
    const QMap<QString, QByteArray> afterKill = backupFiles(folder.path());
    QCOMPARE(contents(catalogue(folder)), catalogueBytes);
    checkStartUp(folder);

    finish(u8("backup"), folder);
    const QMap<QString, QByteArray> complete = backupFiles(folder.path());
    for (int i = 0; i < BackupFileNames.size(); ++i) {
        const QString &name = BackupFileNames[i];
        QVERIFY2(afterKill[name] == (i < replacedFiles ? complete[name] : earlier[name]),
                 qPrintable(name));
    }
    QCOMPARE(catalogueDigest(catalogue(folder)), before);
}

// About a hundred kills at random moments (seeded, so a failure can be replayed), over backup,
// restore and the upgrade in turn, each folder carrying on from whatever the last kill left.
void TestCrashInjection::killsAtRandomMoments() {
    const quint32 seed = qEnvironmentVariableIsSet("HONDANA_KILL_SEED")
                             ? quint32(qEnvironmentVariableIntValue("HONDANA_KILL_SEED"))
                             : 20240401u;
    QRandomGenerator random(seed);
    const int kills = qEnvironmentVariableIsSet("HONDANA_KILL_COUNT")
                          ? qEnvironmentVariableIntValue("HONDANA_KILL_COUNT")
                          : 99;
    const QStringList operations = {u8("backup"), u8("restore"), u8("upgrade")};
    for (const QString &operation : operations) {
        DataFolder folder;
        const QByteArray before = prepareFor(operation, folder);
        // One undisturbed run in a copy tells how long the operation takes and what it leaves.
        DataFolder reference;
        prepareFor(operation, reference);
        const Outcome full = runOperation(operation, reference.path(), {});
        QVERIFY2(full.exitCode == 0, qPrintable(full.err));
        const QByteArray after = catalogueDigest(catalogue(reference));
        const QMap<QString, QByteArray> completeFiles = backupFiles(reference.path());
        const QMap<QString, QByteArray> earlierFiles = backupFiles(folder.path());

        int killed = 0;
        for (int i = 0; i < kills / operations.size(); ++i) {
            ChildRun child{operation == u8("upgrade") ? driverProgram() : adminProgram(),
                           operation == u8("backup")    ? QStringList{u8("backup")}
                           : operation == u8("restore") ? QStringList{u8("restore"), u8("--yes")}
                                                        : QStringList{},
                           folder.path(),
                           {},
                           {},
                           int(random.bounded(qint64(full.milliseconds) + 1))};
            const Outcome outcome = run(child);
            killed += outcome.crashed ? 1 : 0;
            QVERIFY2(outcome.crashed || outcome.exitCode == 0,
                     qPrintable(u8("seed %1, kill %2: %3").arg(seed).arg(i).arg(outcome.err)));
            checkSound(folder, before, after);
            if (QTest::currentTestFailed())
                qWarning("seed %u, %s, kill %d after %d ms", seed, qPrintable(operation), i,
                         child.killAfterMilliseconds);
            checkStartUp(folder);
            if (QTest::currentTestFailed())
                return;
            const QMap<QString, QByteArray> now = backupFiles(folder.path());
            for (const QString &name : BackupFileNames)
                QVERIFY2(now[name] == earlierFiles[name] || now[name] == completeFiles[name],
                         qPrintable(name + u8(" is neither the earlier nor the complete file")));
            // An upgrade that went through is made pending again for the next kill.
            if (operation == u8("upgrade") &&
                expectedFirstWindow(folder.path()) == FirstWindow::MainMenu)
                QFile::remove(folder.filePath(files::VersionDatabase));
        }
        qInfo("%s: %d of %d runs killed before they finished (undisturbed run: %lld ms)",
              qPrintable(operation), killed, int(kills / operations.size()), full.milliseconds);
        QVERIFY2(killed > 0, "no run was killed: the delays are too long to test anything");
    }
}

QTEST_GUILESS_MAIN(TestCrashInjection)
#include "tst_crashinjection.moc"
