// The process is killed (SIGKILL) at every named step of a reset, of the snapshot taken before
// it and before a restore, and of putting a snapshot back, and at random moments. Afterwards the
// catalogue must be sound and hold exactly the old or exactly the new data, and every snapshot
// under a real name must be a complete, sound copy of a catalogue that was.
#include "Harness.h"

#include "base/FileNames.h"
#include "maintenance/Snapshots.h"
#include "support/DataFolder.h"

#include <QDir>
#include <QRandomGenerator>
#include <QtTest>

using namespace hondana;
using namespace hondana::hardening;
using test::DataFolder;

namespace {

enum class Data { Old, New };

QString catalogue(const QString &folder) {
    return QDir(folder).filePath(files::Catalogue);
}

QStringList arguments(const QString &operation, const QString &folder) {
    if (operation == u8("restore-snapshot"))
        return {operation, snapshots::list(catalogue(folder)).value(0).name, u8("--yes")};
    return {operation, u8("--yes")};
}

// Sets up the folder for `operation` and returns what the catalogue holds before it.
QByteArray prepareFor(const QString &operation, const QString &folder, int books) {
    prepareCatalogue(folder, books);
    if (operation == u8("restore")) {
        backUp(folder);
        prepareCatalogue(folder, books + 1);
    }
    if (operation == u8("restore-snapshot")) {
        // A reset leaves the snapshot to put back; the empty catalogue is the old data.
        const Outcome reset = runAdmin(folder, {u8("reset"), u8("--yes")});
        if (reset.exitCode != 0)
            qFatal("set-up reset failed: %s", qPrintable(reset.err));
    }
    return catalogueDigest(catalogue(folder));
}

// A journal SQLite would replay: one that starts with its magic number. A reset killed before
// the journal's header was written leaves a file SQLite ignores and deletes at the next write.
bool replayableJournal(const QString &path) {
    static const QByteArray magic = QByteArray::fromHex("d9d505f920a163d7");
    return contents(path + u8("-journal")).startsWith(magic) ||
           QFileInfo::exists(path + u8("-wal"));
}

// The catalogue is sound and holds one of `allowed`; so does every snapshot under a real name.
// A reset killed while it writes leaves SQLite's journal, which the next reader (here the
// digest) rolls back; nothing may be left after that.
void checkSound(const QString &folder, const QList<QByteArray> &allowed) {
    QVERIFY2(allowed.contains(catalogueDigest(catalogue(folder))),
             "the catalogue holds neither the old nor the new data");
    QVERIFY2(!replayableJournal(catalogue(folder)), "a journal is left to change the catalogue");
    QCOMPARE(integrityCheck(catalogue(folder)), u8("ok"));
    const QList<snapshots::Snapshot> kept = snapshots::list(catalogue(folder));
    // Killed between a new snapshot and the removal of the oldest, one more stays until the next.
    QVERIFY(kept.size() <= snapshots::Kept + 1);
    for (const snapshots::Snapshot &snapshot : kept) {
        QCOMPARE(integrityCheck(snapshot.path), u8("ok"));
        QVERIFY2(allowed.contains(catalogueDigest(snapshot.path)),
                 qPrintable(snapshot.name + u8(" is no copy of the catalogue")));
    }
}

// hondana-admin killed (SIGKILL) after `milliseconds`, or left to finish when it is quicker.
Outcome runKilledAfter(const QString &folder, const QStringList &arguments, int milliseconds) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(adminProgram(), arguments);
    if (process.waitForStarted() && !process.waitForFinished(milliseconds))
        process.kill();
    process.waitForFinished();
    return {process.exitCode(),
            process.exitStatus() == QProcess::CrashExit,
            {},
            QString::fromUtf8(process.readAllStandardError())};
}

void addStep(const char *operation, const char *step, Data data) {
    QTest::addRow("%s %s", operation, step) << u8(operation) << u8(step) << int(data);
}

} // namespace

class TestResetSnapshotHardening : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void killAtEveryStep_data();
    void killAtEveryStep();
    void killsAtRandomMoments();
};

void TestResetSnapshotHardening::killAtEveryStep_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("data"); // what the catalogue must hold right after the kill

    const char *snapshotSteps[] = {"snapshot.start",   "snapshot.copying", "snapshot.copied",
                                   "snapshot.flushed", "snapshot.renamed", "snapshot.rotated"};
    for (const char *step : snapshotSteps)
        addStep("reset", step, Data::Old);
    for (const char *step : {"reset.BOOK", "reset.BUNYA", "reset.CHOSHA", "reset.HAKKOU",
                             "reset.SAIZU", "reset.commit"})
        addStep("reset", step, Data::Old);
    addStep("reset", "reset.committed", Data::New);

    addStep("restore", "snapshot.renamed", Data::Old);
    addStep("restore", "restore.rename", Data::Old);
    addStep("restore", "restore.renamed", Data::New);

    addStep("restore-snapshot", "snapshot-restore.copied", Data::Old);
    for (const char *step : snapshotSteps)
        addStep("restore-snapshot", step, Data::Old);
    addStep("restore-snapshot", "snapshot-restore.rename", Data::Old);
    addStep("restore-snapshot", "snapshot-restore.renamed", Data::New);
}

void TestResetSnapshotHardening::killAtEveryStep() {
    QFETCH(QString, operation);
    QFETCH(QString, step);
    QFETCH(int, data);
    DataFolder folder;
    const QByteArray before = prepareFor(operation, folder.path(), 30);
    const QStringList call = arguments(operation, folder.path());

    const Outcome killed = runAdmin(folder.path(), call, step);
    QVERIFY2(killed.crashed, qPrintable(u8("the step was never reached: ") + killed.err));
    const QByteArray afterKill = catalogueDigest(catalogue(folder.path()));

    // Running it again, as the user would, finishes the job.
    const Outcome again = runAdmin(folder.path(), call);
    QVERIFY2(again.exitCode == 0, qPrintable(again.err));
    const QByteArray after = catalogueDigest(catalogue(folder.path()));
    QCOMPARE(afterKill, Data(data) == Data::Old ? before : after);
    checkSound(folder.path(), {before, after});
    QCOMPARE(QDir(snapshots::folderOf(catalogue(folder.path()))).entryList({u8("*.partial")}),
             QStringList());
    QVERIFY(!QFileInfo::exists(folder.filePath(files::WorkCopy)));
}

// Resets killed at random moments, each followed by putting the newest reset snapshot back
// (killed at random too) once a reset went through; about sixty kills, seeded for replay.
void TestResetSnapshotHardening::killsAtRandomMoments() {
    const quint32 seed = qEnvironmentVariableIsSet("HONDANA_KILL_SEED")
                             ? quint32(qEnvironmentVariableIntValue("HONDANA_KILL_SEED"))
                             : 20241207u;
    QRandomGenerator random(seed);
    const int kills = qEnvironmentVariableIsSet("HONDANA_KILL_COUNT")
                          ? qEnvironmentVariableIntValue("HONDANA_KILL_COUNT")
                          : 60;
    DataFolder folder;
    const QByteArray full = prepareFor(u8("reset"), folder.path(), 3000);
    DataFolder reference;
    prepareFor(u8("reset"), reference.path(), 3000);
    QElapsedTimer timer;
    timer.start();
    const Outcome undisturbed = runAdmin(reference.path(), {u8("reset"), u8("--yes")});
    const qint64 fullRun = timer.elapsed();
    QVERIFY2(undisturbed.exitCode == 0, qPrintable(undisturbed.err));
    const QByteArray empty = catalogueDigest(catalogue(reference.path()));

    int killed = 0;
    for (int i = 0; i < kills; ++i) {
        const bool reset = catalogueDigest(catalogue(folder.path())) == full;
        QStringList call = reset ? QStringList{u8("reset"), u8("--yes")}
                                 : arguments(u8("restore-snapshot"), folder.path());
        if (!reset) {
            // The newest snapshot taken before a reset holds the full catalogue.
            for (const snapshots::Snapshot &s : snapshots::list(catalogue(folder.path()))) {
                if (s.occasion == snapshots::BeforeReset) {
                    call[1] = s.name;
                    break;
                }
            }
        }
        const int delay = int(random.bounded(fullRun + 1));
        const Outcome outcome = runKilledAfter(folder.path(), call, delay);
        killed += outcome.crashed ? 1 : 0;
        QVERIFY2(outcome.crashed || outcome.exitCode == 0,
                 qPrintable(u8("seed %1, kill %2: %3").arg(seed).arg(i).arg(outcome.err)));
        checkSound(folder.path(), {full, empty});
        if (QTest::currentTestFailed()) {
            qWarning("seed %u, %s, kill %d after %d ms", seed, qPrintable(call.first()), i, delay);
            return;
        }
    }
    qInfo("%d of %d runs killed before they finished (undisturbed reset: %lld ms)", killed, kills,
          fullRun);
    QVERIFY2(killed > 0, "no run was killed: the delays are too long to test anything");
}

QTEST_GUILESS_MAIN(TestResetSnapshotHardening)
#include "tst_reset_snapshot_hardening.moc"
