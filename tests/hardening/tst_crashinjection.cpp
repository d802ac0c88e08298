// The process is killed (SIGKILL) at every named step of backup, restore, the first acceptance
// and the version upgrade. Afterwards TOSHO.MDB must be sound and hold exactly the old or exactly
// the new data, no journal may be left to change it, every backup file must be the earlier or
// the complete new one, the next start-up must choose the window the decision table gives, and
// running the operation again must finish the job.
#include "Harness.h"

#include "base/FileNames.h"
#include "support/DataFolder.h"

#include <QDir>
#include <QtTest>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace hondana;
using namespace hondana::hardening;
using test::DataFolder;

namespace {

const int Books = 30;
const int AllFiles = 5;

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
        return {}; // first start: no catalogue yet
    prepareCatalogue(folder.path(), Books, operation != u8("upgrade"));
    if (operation.startsWith(u8("restore"))) {
        backUp(folder.path());
        // A book added after the backup tells the old catalogue from the restored one.
        prepareCatalogue(folder.path(), Books + 1);
    }
    if (operation == u8("backup")) {
        for (const QString &name : BackupFiles)
            writeFile(folder.filePath(name), "earlier backup of " + name.toUtf8());
    }
    const QByteArray digest = catalogueDigest(catalogue(folder));
    if (operation == u8("restore-after-crash"))
        leaveHotJournal(catalogue(folder));
    return digest;
}

Outcome runOperation(const QString &operation, const QString &folder, const QString &killAt) {
    if (operation == u8("backup"))
        return runAdmin(folder, {u8("backup")}, killAt);
    if (operation.startsWith(u8("restore")))
        return runAdmin(folder, {u8("restore"), u8("--yes")}, killAt);
    return runDriver(folder, killAt);
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
    for (const QString &name : BackupFiles)
        QVERIFY(!QFileInfo::exists(folder.filePath(name + u8(".tmp"))));
}

void addStep(const char *operation, const QString &step, Data data, int replacedFiles) {
    QTest::addRow("%s %s", operation, qPrintable(step))
        << u8(operation) << step << int(data) << replacedFiles;
}

// The steps of writing the backup files, as backup and the upgrade go through them.
void addBackupSteps(const char *operation) {
    for (int i = 0; i < BackupFiles.size(); ++i) {
        const QString &name = BackupFiles[i];
        addStep(operation, u8("backup.") + name, Data::Old, i);
        addStep(operation, u8("replace.%1.flushed").arg(name), Data::Old, i);
        addStep(operation, u8("replace.%1.renamed").arg(name), Data::Old, i + 1);
    }
}

} // namespace

class TestCrashInjection : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void killAtEveryStep_data();
    void killAtEveryStep();
};

void TestCrashInjection::killAtEveryStep_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("data");          // what the catalogue holds right after the kill
    QTest::addColumn<int>("replacedFiles"); // how many backup files are new right after it

    addBackupSteps("backup");
    const QStringList restoreBeforeRename = {u8("restore.check"), u8("restore.copy"),
                                             u8("restore.fill"),  u8("restore.commit"),
                                             u8("restore.sync"),  u8("restore.rename")};
    for (const QString &step : restoreBeforeRename)
        addStep("restore", step, Data::Old, 0);
    addStep("restore", u8("restore.renamed"), Data::New, 0);
    // The old catalogue's journal must never be replayed into the new one.
    addStep("restore-after-crash", u8("restore.rename"), Data::Old, 0);
    addStep("restore-after-crash", u8("restore.renamed"), Data::New, 0);

    addBackupSteps("upgrade");
    addStep("upgrade", u8("upgrade.backedup"), Data::Old, AllFiles);
    for (const QString &step : restoreBeforeRename)
        addStep("upgrade", step, Data::Old, AllFiles);
    for (const char *step : {"restore.renamed", "upgrade.restored", "copy.INTVER.mdb",
                             "copy.INTVER.mdb.done", "upgrade.installed"})
        addStep("upgrade", u8(step), Data::New, AllFiles);

    for (const char *step : {"copy.TOSHO.MDB", "copy.TOSHO.MDB.done", "accept.recorded",
                             "copy.INTVER.mdb", "copy.INTVER.mdb.done"})
        addStep("accept", u8(step), Data::New, 0);
}

void TestCrashInjection::killAtEveryStep() {
    QFETCH(QString, operation);
    QFETCH(QString, step);
    QFETCH(int, data);
    QFETCH(int, replacedFiles);
    DataFolder folder;
    const QByteArray before = prepareFor(operation, folder);
    const QMap<QString, QByteArray> earlierFiles = backupFiles(folder.path());

    const Outcome killed = runOperation(operation, folder.path(), step);
    QVERIFY2(killed.crashed, qPrintable(u8("the step was never reached: ") + killed.err));
    const QMap<QString, QByteArray> filesAfterKill = backupFiles(folder.path());
    QCOMPARE(journalFiles(catalogue(folder)), QStringList());
    const QByteArray afterKill = catalogueDigest(catalogue(folder));
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
    const QMap<QString, QByteArray> complete = backupFiles(folder.path());
    for (int i = 0; i < BackupFiles.size(); ++i) {
        const QString &name = BackupFiles[i];
        QVERIFY2(filesAfterKill[name] == (i < replacedFiles ? complete[name] : earlierFiles[name]),
                 qPrintable(name));
    }
    checkStartUp(folder);
}

QTEST_GUILESS_MAIN(TestCrashInjection)
#include "tst_crashinjection.moc"
