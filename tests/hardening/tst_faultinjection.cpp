// Disks that fill up and reads that fail part-way, during backup and restore: the user gets a
// message naming the file and the problem, the catalogue stays as it was, and no backup file is
// left short under its real name. Three ways to fail: a system call answered with an error by
// strace's fault injection, a file size limit (RLIMIT_FSIZE), and a real full tmpfs.
#include "Harness.h"

#include "base/FileNames.h"
#include "maintenance/BackupFormat.h"
#include "support/DataFolder.h"

#include <QDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/statvfs.h>

using namespace hondana;
using namespace hondana::hardening;
using test::DataFolder;

namespace {

// A folder with a catalogue, a complete backup of it, and a catalogue that has changed since.
void prepareBackedUp(const DataFolder &folder, int books) {
    prepareCatalogue(folder.path(), books);
    backUp(folder.path());
    prepareCatalogue(folder.path(), books + 1);
}

QStringList operationArguments(const QString &operation) {
    return operation == u8("restore") ? QStringList{u8("restore"), u8("--yes")}
                                      : QStringList{u8("backup")};
}

// What must hold after a failed operation: a message naming the file, the catalogue unchanged,
// every backup file either the earlier one or a complete new one, no work files left behind.
void checkFailure(const Outcome &outcome, const QString &folder, const QString &fileNamed,
                  const QString &problem, const QByteArray &catalogueBefore,
                  const QMap<QString, QByteArray> &filesBefore) {
    QVERIFY2(!outcome.crashed, qPrintable(outcome.err));
    QCOMPARE(outcome.exitCode, 1);
    QVERIFY2(outcome.err.contains(fileNamed), qPrintable(outcome.err));
    QVERIFY2(outcome.err.contains(problem), qPrintable(outcome.err));
    const QDir dir(folder);
    QVERIFY2(contents(dir.filePath(files::Catalogue)) == catalogueBefore, "the catalogue changed");
    QVERIFY(!QFileInfo::exists(dir.filePath(files::WorkCopy)));
    QCOMPARE(journalFiles(dir.filePath(files::Catalogue)), QStringList());
    const QMap<QString, QByteArray> now = backupFiles(folder);
    for (const QString &name : BackupFileNames) {
        QVERIFY(!QFileInfo::exists(dir.filePath(name + u8(".tmp"))));
        if (now[name] == filesBefore[name])
            continue;
        // A replaced file must be the complete backup: a whole number of records, and what a
        // backup of the unchanged catalogue writes.
        QVERIFY2(now[name].size() % backup::layout(name).recordLength == 0, qPrintable(name));
    }
}

} // namespace

class TestFaultInjection : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void failingSystemCalls_data();
    void failingSystemCalls();
    void fileSizeLimit_data();
    void fileSizeLimit();
    void fullDisk_data();
    void fullDisk();
};

// strace answers one system call on one file with an error, and lets every other call through.
void TestFaultInjection::failingSystemCalls_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("books");
    QTest::addColumn<QString>("file");    // the file whose call fails
    QTest::addColumn<QString>("inject");  // strace's -e inject= value
    QTest::addColumn<QString>("message"); // what the user is told
    QTest::addColumn<QString>("named");   // the file or table the message names
    const QString full = u8("ディスクがいっぱい");
    const QString io = u8("ディスクの読み書きに失敗");
    QTest::newRow("backup: BOOK.DAT full at once")
        << u8("backup") << 30 << u8("BOOK.DAT.tmp") << u8("write:error=ENOSPC") << full
        << u8("BOOK.DAT");
    QTest::newRow("backup: CHOSHA.DAT full")
        << u8("backup") << 30 << u8("CHOSHA.DAT.tmp") << u8("write:error=ENOSPC") << full
        << u8("CHOSHA.DAT");
    QTest::newRow("backup: BOOK.DAT full part-way")
        << u8("backup") << 600 << u8("BOOK.DAT.tmp") << u8("write:error=ENOSPC:when=2+") << full
        << u8("BOOK.DAT");
    QTest::newRow("backup: SAIZU.DAT flush fails")
        << u8("backup") << 30 << u8("SAIZU.DAT.tmp") << u8("fsync:error=EIO") << io
        << u8("SAIZU.DAT");
    QTest::newRow("restore: BOOK.DAT unreadable")
        << u8("restore") << 30 << u8("BOOK.DAT") << u8("read:error=EIO") << io << u8("BOOK.DAT");
    QTest::newRow("restore: BOOK.DAT fails part-way")
        << u8("restore") << 1100 << u8("BOOK.DAT") << u8("read:error=EIO:when=2") << io
        << u8("BOOK.DAT");
    QTest::newRow("restore: HAKKO.DAT unreadable")
        << u8("restore") << 30 << u8("HAKKO.DAT") << u8("read:error=EIO") << io << u8("HAKKO.DAT");
    QTest::newRow("restore: work copy full")
        << u8("restore") << 300 << u8("TOSHOCPY.MDB") << u8("pwrite64:error=ENOSPC") << full
        << u8("TOSHOCPY.MDB");
    QTest::newRow("restore: work copy full part-way")
        << u8("restore") << 300 << u8("TOSHOCPY.MDB") << u8("pwrite64:error=ENOSPC:when=5+") << full
        << u8("TOSHOCPY.MDB");
    QTest::newRow("restore: work copy flush fails")
        << u8("restore") << 30 << u8("TOSHOCPY.MDB") << u8("fsync:error=EIO") << io
        << u8("TOSHOCPY.MDB");
    QTest::newRow("backup: catalogue unreadable part-way")
        << u8("backup") << 600 << u8("TOSHO.MDB") << u8("pread64:error=EIO:when=6+")
        << u8("BOOK 表を読めません") << u8("BOOK.DAT");
}

void TestFaultInjection::failingSystemCalls() {
    QFETCH(QString, operation);
    QFETCH(int, books);
    QFETCH(QString, file);
    QFETCH(QString, inject);
    QFETCH(QString, message);
    QFETCH(QString, named);
    if (straceProgram().isEmpty())
        QSKIP("strace is missing or may not trace here");
    DataFolder folder;
    prepareBackedUp(folder, books);
    const QByteArray catalogueBefore = contents(folder.filePath(files::Catalogue));
    const QMap<QString, QByteArray> filesBefore = backupFiles(folder.path());

    const QString path = QDir(QDir(folder.path()).canonicalPath()).filePath(file);
    const ChildRun child = traced({u8("-f"), u8("-qq"), u8("-o"), u8("/dev/null"), u8("-P"), path,
                                   u8("-e"), u8("inject=") + inject},
                                  adminProgram(), operationArguments(operation), folder.path());
    const Outcome outcome = run(child);
    checkFailure(outcome, folder.path(), named, message, catalogueBefore, filesBefore);
}

// The file size limit of the process stands for a disk quota: writes beyond it fail (EFBIG).
void TestFaultInjection::fileSizeLimit_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("fileNamed");
    QTest::newRow("backup: nothing fits") << u8("backup") << 0 << u8("BOOK.DAT");
    QTest::newRow("backup: half of BOOK.DAT") << u8("backup") << 324 * 25 << u8("BOOK.DAT");
    QTest::newRow("restore: no work copy") << u8("restore") << 4096 << files::WorkCopy;
    QTest::newRow("restore: work copy cannot grow") << u8("restore") << 80 * 1024 << u8("TOSHOCPY");
}

void TestFaultInjection::fileSizeLimit() {
    QFETCH(QString, operation);
    QFETCH(int, limit);
    QFETCH(QString, fileNamed);
    DataFolder folder;
    prepareBackedUp(folder, 50);
    const QByteArray catalogueBefore = contents(folder.filePath(files::Catalogue));
    const QMap<QString, QByteArray> filesBefore = backupFiles(folder.path());

    ChildRun child{adminProgram(), operationArguments(operation), folder.path(), {}, {}, -1};
    child.childSetup = [limit] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit size{rlim_t(limit), rlim_t(limit)};
        ::setrlimit(RLIMIT_FSIZE, &size);
    };
    const Outcome outcome = run(child);
    checkFailure(outcome, folder.path(), fileNamed, QString(), catalogueBefore, filesBefore);
}

// A real full disk: the working folder on a small tmpfs (needs the right to mount; skipped
// otherwise), filled up to a little less than the operation needs.
void TestFaultInjection::fullDisk_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("freeBytes");
    QTest::addColumn<QString>("fileNamed");
    QTest::newRow("backup, 8 KB free") << u8("backup") << 8 * 1024 << u8("BOOK.DAT");
    QTest::newRow("backup, 200 KB free") << u8("backup") << 200 * 1024 << u8(".DAT");
    QTest::newRow("restore, 16 KB free") << u8("restore") << 16 * 1024 << files::WorkCopy;
    QTest::newRow("restore, 300 KB free") << u8("restore") << 300 * 1024 << u8("TOSHOCPY");
}

void TestFaultInjection::fullDisk() {
    QFETCH(QString, operation);
    QFETCH(int, freeBytes);
    QFETCH(QString, fileNamed);
    DataFolder folder;
    const QString mountPoint = folder.filePath(u8("disk"));
    QDir().mkpath(mountPoint);
    if (QProcess::execute(u8("mount"), {u8("-t"), u8("tmpfs"), u8("-o"), u8("size=8m"), u8("tmpfs"),
                                        mountPoint}) != 0)
        QSKIP("cannot mount a tmpfs here");
    struct Unmount {
        QString path;
        ~Unmount() { QProcess::execute(u8("umount"), {path}); }
    } unmount{mountPoint};
    for (const QString &name : QDir(folder.path()).entryList(QDir::Files))
        QFile::copy(folder.filePath(name), QDir(mountPoint).filePath(name));
    prepareCatalogue(mountPoint, 2000);
    QCOMPARE(runAdmin(mountPoint, {u8("backup")}).exitCode, 0);
    if (operation == u8("backup")) {
        for (const QString &name : BackupFileNames)
            QFile::remove(QDir(mountPoint).filePath(name));
    }
    struct statvfs disk {};
    QCOMPARE(::statvfs(QFile::encodeName(mountPoint).constData(), &disk), 0);
    const qint64 available = qint64(disk.f_bavail) * qint64(disk.f_frsize);
    writeFile(QDir(mountPoint).filePath(u8("filler")),
              QByteArray(qMax<qint64>(0, available - freeBytes), 'x'));

    const QByteArray catalogueBefore = contents(QDir(mountPoint).filePath(files::Catalogue));
    const QMap<QString, QByteArray> filesBefore = backupFiles(mountPoint);
    const Outcome outcome = runAdmin(mountPoint, operationArguments(operation));
    checkFailure(outcome, mountPoint, fileNamed, u8("ディスクがいっぱい"), catalogueBefore,
                 filesBefore);
}

QTEST_GUILESS_MAIN(TestFaultInjection)
#include "tst_faultinjection.moc"
