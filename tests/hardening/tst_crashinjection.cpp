// Every writing operation is killed (SIGKILL) at each named step. Afterwards TOSHO.MDB is sound
// and holds exactly the old or the new data with no journal left to change it, every backup file
// and snapshot is the earlier or a complete new one, start-up chooses the window the decision
// table gives, and running the operation again finishes the job.
#include "Harness.h"

#include "base/FileNames.h"
#include "maintenance/Snapshots.h"
#include "support/DataFolder.h"
#include "support/DataRows.h"
#include "support/LocalSruServer.h"
#include "support/TestSql.h"

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
const int AllFiles = 6;

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
    if (operation == "accept")
        return {}; // first start: no catalogue yet
    prepareCatalogue(folder.path(), Books, operation != "upgrade");
    if (operation.startsWith("restore-after") || operation == "restore") {
        backUp(folder.path());
        // A line no book matches any more is kept in a file of its own by the restore.
        const QString own = folder.filePath("HONDANA.DAT");
        if (operation == "restore-after-edit")
            writeFile(own,
                      contents(own) +
                          "BOOK.DAT\t1\t00000000000000000000000000000000\treading\tア\tuser\n");
        // A book added after the backup tells the old catalogue from the restored one.
        prepareCatalogue(folder.path(), Books + 1);
    }
    if (operation == "import")
        writeFile(folder.filePath("import.csv"), u8("題名,著者名\n新しい本,新しい著者\n").toUtf8());
    if (operation == "backup") {
        for (const QString &name : BackupFiles)
            writeFile(folder.filePath(name), "earlier backup of " + name.toUtf8());
    }
    if (operation == "restore-snapshot") {
        // A reset leaves the snapshot to put back; the empty catalogue is the old data.
        const Outcome reset = runAdmin(folder.path(), {"reset", "--yes"});
        if (reset.exitCode != 0)
            qFatal("set-up reset failed: %s", qPrintable(reset.err));
    }
    if (operation == "return")
        test::SqlFile(catalogue(folder))
            .exec("INSERT INTO loan (book_rowid, borrower, lent_on) VALUES (1, '山田', "
                  "'2026-11-01')");
    if (operation == "copy-isbn") // an ISBN in 管理番号1 of books with and without one
        test::SqlFile(catalogue(folder))
            .exec("UPDATE BOOK SET 管理番号1 = '4-8000-3004-8' WHERE rowid % 4 = 0");
    const QByteArray digest = catalogueDigest(catalogue(folder));
    if (operation == "restore-after-crash")
        leaveHotJournal(catalogue(folder));
    return digest;
}

// hondana-admin's arguments for `operation`, or none for the start-up driver's operations. A
// snapshot is named before the first run: a killed run may leave a newer one.
QStringList adminArguments(const QString &operation, const DataFolder &folder) {
    if (operation == "backup" || operation == "readings" || operation == "copy-isbn")
        return {operation};
    if (operation == "restore-snapshot")
        return {operation, snapshots::list(catalogue(folder)).value(0).name, "--yes"};
    if (operation == "import") // run again after a crash, it skips what already went in
        return {operation, folder.filePath("import.csv")};
    if (operation == "enter-masters" || operation.startsWith("wish-") || operation == "lend" ||
        operation == "return")
        return {DriverOperation, operation};
    if (operation == "reset" || operation.startsWith("restore"))
        return {operation.section("-after", 0, 0), "--yes"};
    return {};
}

// A journal SQLite would replay: one that starts with its magic number. A reset killed before
// the journal's header was written leaves a file SQLite ignores and deletes at the next write.
bool replayableJournal(const QString &path) {
    static const QByteArray magic = QByteArray::fromHex("d9d505f920a163d7");
    return contents(path + u8("-journal")).startsWith(magic) ||
           QFileInfo::exists(path + u8("-wal"));
}

// SQLite's own check passes and no journal is left that the next open would replay. A reset
// killed while it writes leaves SQLite's journal, which the next reader (such as the digest)
// rolls back; nothing may be left after that.
void checkSoundFile(const QString &path) {
    QVERIFY2(!replayableJournal(path), qPrintable(path + u8(": a journal is left to change it")));
    QCOMPARE(integrityCheck(path), "ok");
}

// The catalogue is sound and holds one of `allowed`; so does every snapshot under a real name.
void checkSound(const DataFolder &folder, const QList<QByteArray> &allowed) {
    QVERIFY2(allowed.contains(catalogueDigest(catalogue(folder))),
             "the catalogue holds neither the old nor the new data");
    checkSoundFile(catalogue(folder));
    const QList<snapshots::Snapshot> kept = snapshots::list(catalogue(folder));
    // Killed between a new snapshot and the removal of the oldest, one more stays until the next.
    QVERIFY(kept.size() <= snapshots::Kept + 1);
    for (const snapshots::Snapshot &snapshot : kept) {
        checkSoundFile(snapshot.path);
        QVERIFY2(allowed.contains(catalogueDigest(snapshot.path)),
                 qPrintable(snapshot.name + u8(" is no copy of the catalogue")));
    }
}

void checkStartUp(const DataFolder &folder) {
    const FirstWindow expected = expectedFirstWindow(folder.path());
    QString failure;
    const FirstWindow window = startUpIn(folder.path(), &failure);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(int(window), int(expected));
}

// Runs the operation to its end, as the user would after the crash.
void finish(const QString &operation, const QStringList &arguments, const DataFolder &folder) {
    const Outcome again = runOperation(arguments, folder.path());
    QVERIFY2(!again.crashed && again.exitCode == 0, qPrintable(again.err));
    if (operation == "upgrade" || operation == "accept") {
        // A first acceptance killed after its record asks once more and then upgrades.
        const Outcome last = runDriver(folder.path());
        QVERIFY2(last.exitCode == 0, qPrintable(last.err));
        QCOMPARE(last.out.trimmed(), "main menu");
    }
    QVERIFY(!QFileInfo::exists(folder.filePath(files::WorkCopy)));
    QCOMPARE(QDir(snapshots::folderOf(catalogue(folder))).entryList({"*.partial"}), QStringList());
    for (const QString &name : BackupFiles)
        QVERIFY(!QFileInfo::exists(folder.filePath(name + u8(".tmp"))));
}

// A row for each of `steps`, separated by blanks.
void addStep(const char *operation, const QString &steps, Data data, int replacedFiles = 0) {
    for (const QString &step : steps.split(u' '))
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
    void killWhileKeepingAnAnswer_data();
    void killWhileKeepingAnAnswer();
};

void TestCrashInjection::killAtEveryStep_data() {
    // `data`: what the catalogue holds right after the kill, `replacedFiles`: how many backup
    // files are new right after it
    test::columns<QString, QString, int, int>({"operation", "step", "data", "replacedFiles"});

    addBackupSteps("backup");
    const QString restoreBeforeRename =
        "restore.check restore.copy restore.fill restore.commit restore.sync restore.rename";
    addStep("restore", restoreBeforeRename, Data::Old);
    addStep("restore", "restore.renamed", Data::New);
    // The old catalogue's journal must never be replayed into the new one.
    addStep("restore-after-crash", "restore.rename", Data::Old);
    addStep("restore-after-crash", "restore.renamed", Data::New);
    addStep("restore-after-edit", "restore.kept", Data::Old);

    addBackupSteps("upgrade");
    addStep("upgrade", "upgrade.backedup " + restoreBeforeRename, Data::Old, AllFiles);
    addStep("upgrade",
            "restore.renamed upgrade.restored copy.INTVER.mdb copy.INTVER.mdb.done "
            "upgrade.installed",
            Data::New, AllFiles);
    addStep("accept",
            "copy.TOSHO.MDB copy.TOSHO.MDB.done accept.recorded copy.INTVER.mdb "
            "copy.INTVER.mdb.done",
            Data::New);

    const QString snapshotSteps = "snapshot.start snapshot.copying snapshot.copied "
                                  "snapshot.flushed snapshot.renamed snapshot.rotated";
    addStep("restore", "snapshot.renamed", Data::Old);
    addStep("reset",
            snapshotSteps +
                " reset.BOOK reset.BUNYA reset.CHOSHA reset.HAKKOU reset.SAIZU reset.commit",
            Data::Old);
    addStep("reset", "reset.committed", Data::New);
    addStep("restore-snapshot",
            "snapshot-restore.copied " + snapshotSteps + " snapshot-restore.rename", Data::Old);
    addStep("restore-snapshot", "snapshot-restore.renamed", Data::New);
    addStep("readings", "readings.suggested readings.commit", Data::Old);
    addStep("readings", "readings.committed", Data::New);
    addStep("copy-isbn", "copy-isbn.commit", Data::Old);
    addStep("copy-isbn", "copy-isbn.committed", Data::New);
    addStep("import", "intake.masters intake.books intake.commit", Data::Old);
    addStep("import", "import.added", Data::New);
    addStep("enter-masters", "intake.enterMasters", Data::Old);
    addStep("wish-add", "wishes.add", Data::Old);
    addStep("wish-edit", "wishes.edit", Data::Old);
    addStep("wish-remove", "wishes.remove", Data::Old);
    addStep("lend", "loans.lend", Data::Old);
    addStep("lend", "loans.lent", Data::New);
    addStep("return", "loans.return", Data::Old);
    addStep("return", "loans.returned", Data::New);
}

void TestCrashInjection::killAtEveryStep() {
    const QString operation = test::text("operation");
    const int replacedFiles = test::cell<int>("replacedFiles");
    DataFolder folder;
    const QByteArray before = prepareFor(operation, folder);
    const QMap<QString, QByteArray> earlierFiles = backupFiles(folder.path());
    const QStringList arguments = adminArguments(operation, folder);

    const Outcome killed = runOperation(arguments, folder.path(), test::text("step"));
    QVERIFY2(killed.crashed, qPrintable(u8("the step was never reached: ") + killed.err));
    const QMap<QString, QByteArray> filesAfterKill = backupFiles(folder.path());
    // Only a reset, a copy or an intake killed while it writes leaves a journal, its own, for the
    // next reader to roll back.
    if (operation != "reset" && operation != "copy-isbn" && operation != "import" &&
        operation != "enter-masters" && !operation.startsWith("wish-") && operation != "lend" &&
        operation != "return")
        QCOMPARE(journalFiles(catalogue(folder)), QStringList());
    const QByteArray afterKill = catalogueDigest(catalogue(folder));
    if (QFileInfo::exists(catalogue(folder)))
        checkSoundFile(catalogue(folder));
    checkStartUp(folder);

    finish(operation, arguments, folder);
    const QByteArray after = catalogueDigest(catalogue(folder));
    checkSound(folder, {before, after});
    if (operation != "accept")
        QCOMPARE(afterKill, Data(test::cell<int>("data")) == Data::Old ? before : after);
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

// The look-up's cache: killed while it keeps an answer, it is sound, and the next look-up either
// finds the answer kept or asks the service again.
void TestCrashInjection::killWhileKeepingAnAnswer_data() {
    test::columns<QString, int>({"step", "requests"}); // the service's, after the second run
    test::row("written, not committed", u8("lookup.store"), 2);
    test::row("committed", u8("lookup.stored"), 1);
}

void TestCrashInjection::killWhileKeepingAnAnswer() {
    const QString isbn = "9784101010014";
    DataFolder folder(DataFolder::Empty);
    test::LocalSruServer server;
    server.answer(isbn, {test::LocalSruServer::recorded("sru-found.xml")});
    ChildRun lookup{adminProgram(),
                    {"lookup", isbn},
                    folder.path(),
                    {{"HONDANA_LOOKUP_URL", server.address()}}};
    lookup.environment.insert("HONDANA_KILL_AT", test::text("step"));
    QVERIFY(run(lookup).crashed);
    const QString cache = folder.filePath("hondana-lookup.sqlite");
    // A journal left by the kill is the undo of the unfinished answer; the next run rolls it back.
    QCOMPARE(integrityCheck(cache), "ok");

    lookup.environment.remove("HONDANA_KILL_AT");
    const Outcome again = run(lookup);
    QVERIFY2(again.exitCode == 0 && again.out.startsWith(isbn + u8("\t吾輩は猫である")),
             qPrintable(again.out + again.err));
    QCOMPARE(server.requests(), test::cell<int>("requests"));
}

QTEST_GUILESS_MAIN(TestCrashInjection)
#include "tst_crashinjection.moc"
