// Disks that fill up and reads that fail part-way, during backup and restore: strace answers one
// system call on one file with an error and lets every other call through. The user gets a
// message naming the file and the problem, the catalogue stays as it was, and no backup file is
// left short under its real name.
#include "Harness.h"

#include "support/DataFolder.h"

#include <QDir>
#include <QtTest>

using namespace hondana;
using namespace hondana::hardening;
using test::DataFolder;

class TestFaultInjection : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void failingSystemCalls_data();
    void failingSystemCalls();
};

void TestFaultInjection::failingSystemCalls_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("books");
    QTest::addColumn<QString>("file");    // the file whose call fails
    QTest::addColumn<QString>("inject");  // strace's -e inject= value
    QTest::addColumn<QString>("message"); // what the user is told
    QTest::addColumn<QString>("named");   // the file the message names
    const QString full = u8("ディスクがいっぱい");
    const QString io = u8("ディスクの読み書きに失敗");
    auto row = [](const char *name, const char *operation, int books, const char *file,
                  const char *inject, const QString &message, const char *named) {
        QTest::newRow(name) << u8(operation) << books << u8(file) << u8(inject) << message
                            << u8(named);
    };
    row("backup: BOOK.DAT full at once", "backup", 30, "BOOK.DAT.tmp", "write:error=ENOSPC", full,
        "BOOK.DAT");
    row("backup: BOOK.DAT full part-way", "backup", 600, "BOOK.DAT.tmp",
        "write:error=ENOSPC:when=2+", full, "BOOK.DAT");
    // A quota or a file size limit answers with another error than a full disk.
    row("backup: BOOK.DAT over the size limit", "backup", 600, "BOOK.DAT.tmp",
        "write:error=EFBIG:when=2+", QString(), "BOOK.DAT");
    row("backup: BOOK.DAT cannot be created", "backup", 30, "BOOK.DAT.tmp", "openat:error=EACCES",
        QString(), "BOOK.DAT");
    row("backup: SAIZU.DAT flush fails", "backup", 30, "SAIZU.DAT.tmp", "fsync:error=EIO", io,
        "SAIZU.DAT");
    row("backup: catalogue unreadable part-way", "backup", 600, "TOSHO.MDB",
        "pread64:error=EIO:when=6+", u8("BOOK 表を読めません"), "BOOK.DAT");
    row("restore: BOOK.DAT unreadable", "restore", 30, "BOOK.DAT", "read:error=EIO", io,
        "BOOK.DAT");
    row("restore: BOOK.DAT fails part-way", "restore", 1100, "BOOK.DAT", "read:error=EIO:when=2",
        io, "BOOK.DAT");
    row("restore: work copy full", "restore", 300, "TOSHOCPY.MDB", "pwrite64:error=ENOSPC", full,
        "TOSHOCPY.MDB");
    row("restore: work copy full part-way", "restore", 300, "TOSHOCPY.MDB",
        "pwrite64:error=ENOSPC:when=5+", full, "TOSHOCPY.MDB");
    row("restore: work copy over the size limit", "restore", 300, "TOSHOCPY.MDB",
        "pwrite64:error=EFBIG:when=5+", QString(), "TOSHOCPY.MDB");
    row("restore: work copy flush fails", "restore", 30, "TOSHOCPY.MDB", "fsync:error=EIO", io,
        "TOSHOCPY.MDB");
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
    // A complete backup, and a catalogue that has changed since.
    prepareCatalogue(folder.path(), books);
    backUp(folder.path());
    prepareCatalogue(folder.path(), books + 1);
    const QMap<QString, QByteArray> before = test::folderSnapshot(folder.path());

    const QString path = QDir(QDir(folder.path()).canonicalPath()).filePath(file);
    const QStringList arguments = operation == u8("restore")
                                      ? QStringList{u8("restore"), u8("--yes")}
                                      : QStringList{u8("backup")};
    const Outcome outcome = run(traced({u8("-f"), u8("-qq"), u8("-o"), u8("/dev/null"), u8("-P"),
                                        path, u8("-e"), u8("inject=") + inject},
                                       adminProgram(), arguments, folder.path()));
    QVERIFY2(!outcome.crashed, qPrintable(outcome.err));
    QCOMPARE(outcome.exitCode, 1);
    checkRefused(folder.path(), before, outcome.err, {named, message});
}

QTEST_GUILESS_MAIN(TestFaultInjection)
#include "tst_faultinjection.moc"
