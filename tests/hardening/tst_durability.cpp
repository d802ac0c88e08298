// Restore and backup as the disk sees them, through strace. The order in which they hand their
// files to the disk, read from the system calls: a new file is flushed after its last write and
// before it is renamed into place, the folder is flushed after the rename, and at the rename no
// file descriptor of the process still holds the file being replaced. And disks that fill up and
// reads that fail part-way: strace answers one system call on one file with an error and lets
// every other call through. The user gets a message naming the file and the problem, the
// catalogue stays as it was, and no backup file is left short under its real name.
#include "Harness.h"

#include "base/FileNames.h"
#include "support/DataFolder.h"
#include "support/DataRows.h"

#include <QDir>
#include <QRegularExpression>
#include <QtTest>

using namespace hondana;
using namespace hondana::hardening;
using test::cell;
using test::DataFolder;

namespace {

// One traced call: its name, the paths of the file descriptors and names it was given, and the
// path of the descriptor it returned, if any (strace -y writes them as "3</path>").
struct Call {
    QString name;
    QStringList arguments;
    QString returnedPath;
    int returnedFd = -1;
};

Call parseLine(const QString &line) {
    static const QRegularExpression shape(
        QStringLiteral(R"(^\d+\s+(\w+)\((.*)\)\s+=\s+(-?\d+)(?:<([^>]*)>)?)"));
    static const QRegularExpression argument(QStringLiteral(R"((\d+)<([^>]*)>|"([^"]*)\")"));
    Call call;
    const QRegularExpressionMatch m = shape.match(line);
    if (!m.hasMatch())
        return call;
    call.name = m.captured(1);
    for (auto it = argument.globalMatch(m.captured(2)); it.hasNext();) {
        const QRegularExpressionMatch a = it.next();
        call.arguments << (a.captured(2).isEmpty() ? a.captured(3) : a.captured(2));
    }
    call.returnedFd = m.captured(3).toInt();
    call.returnedPath = m.captured(4);
    return call;
}

// What the trace shows about one replacement of `target` by `source`.
struct Replacement {
    bool flushedAfterLastWrite = false;
    bool folderFlushedAfter = false;
    int descriptorsOnTarget = 0;
};

Replacement examine(const QList<Call> &calls, const QString &source, const QString &target,
                    const QString &folder) {
    Replacement result;
    QMap<int, QString> open;
    bool flushed = false;
    bool renamed = false;
    for (const Call &call : calls) {
        const QString first = call.arguments.value(0);
        if (renamed) {
            if ((call.name == "fsync" || call.name == "fdatasync") && first == folder)
                result.folderFlushedAfter = true;
            continue;
        }
        if (call.name == "openat" && call.returnedFd >= 0)
            open.insert(call.returnedFd, call.returnedPath);
        else if (call.name == "close")
            open.remove(open.key(first, -1));
        else if ((call.name == "write" || call.name == "pwrite64") && first == source)
            flushed = false;
        else if ((call.name == "fsync" || call.name == "fdatasync") && first == source)
            flushed = true;
        else if (call.name.startsWith("rename") && call.arguments.contains(source) &&
                 call.arguments.contains(target)) {
            renamed = true;
            result.flushedAfterLastWrite = flushed;
            for (const QString &path : std::as_const(open))
                if (path == target)
                    ++result.descriptorsOnTarget;
        }
    }
    return result;
}

} // namespace

class TestDurability : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        if (straceProgram().isEmpty())
            QSKIP("strace is missing or may not trace here");
    }

    void replacementsAreFlushedInOrder_data() {
        test::columns<QString, QStringList, QStringList, QStringList>(
            {"program", "arguments", "sources", "targets"});
        const QStringList temporaries =
            QStringList(BackupFiles).replaceInStrings(".DAT", ".DAT.tmp");
        const QStringList workCopy = {files::WorkCopy}, catalogue = {files::Catalogue};
        test::row("restore", adminProgram(), QStringList{"restore", "--yes"}, workCopy, catalogue);
        test::row("backup", adminProgram(), QStringList{"backup"}, temporaries, BackupFiles);
        // The upgrade has held the catalogue open to read its acceptance before it replaces it.
        test::row("upgrade", driverProgram(), QStringList(), workCopy, catalogue);
    }

    void replacementsAreFlushedInOrder() {
        const QString program = test::text("program");
        const QStringList sources = cell<QStringList>("sources");
        const QStringList targets = cell<QStringList>("targets");
        DataFolder folder;
        const bool upgrade = program == driverProgram();
        prepareCatalogue(folder.path(), 40, !upgrade);
        if (!upgrade)
            backUp(folder.path());

        const QString log = folder.filePath("trace.log");
        const Outcome outcome = run(
            traced({"-f", "-y", "-qq", "-s", "0", "-o", log, "-e",
                    "trace=openat,close,write,pwrite64,fsync,fdatasync,rename,renameat,renameat2"},
                   program, cell<QStringList>("arguments"), folder.path()));
        QVERIFY2(outcome.exitCode == 0, qPrintable(outcome.err));

        QList<Call> calls;
        for (const QByteArray &line : contents(log).split('\n'))
            calls << parseLine(QString::fromUtf8(line));
        const QString canonical = QDir(folder.path()).canonicalPath();
        for (int i = 0; i < targets.size(); ++i) {
            const Replacement r = examine(calls, QDir(canonical).filePath(sources[i]),
                                          QDir(canonical).filePath(targets[i]), canonical);
            QVERIFY2(r.flushedAfterLastWrite, qPrintable(sources[i] + u8(" renamed unflushed")));
            QVERIFY2(r.folderFlushedAfter, qPrintable(targets[i] + u8(": folder not flushed")));
            QVERIFY2(r.descriptorsOnTarget == 0,
                     qPrintable(targets[i] + u8(" held at the rename")));
        }
    }

    void failingSystemCalls_data() {
        // `file` the one whose call fails, `inject` strace's -e inject= value, `message` what the
        // user is told, `named` the file the message names
        test::columns<QString, int, QString, QString, QString, QString>(
            {"operation", "books", "file", "inject", "message", "named"});
        const QString full = "ディスクがいっぱい";
        const QString io = "ディスクの読み書きに失敗";
        using test::row;
        row("backup: BOOK.DAT full part-way", "backup", 600, "BOOK.DAT.tmp",
            "write:error=ENOSPC:when=2+", full, "BOOK.DAT");
        // Enough lines of ours that the thread writing them meets the full disk itself.
        row("backup: HONDANA.DAT full part-way", "backup", 1100, "HONDANA.DAT.tmp",
            "write:error=ENOSPC", full, "HONDANA.DAT");
        row("backup: SAIZU.DAT flush fails", "backup", 30, "SAIZU.DAT.tmp", "fsync:error=EIO", io,
            "SAIZU.DAT");
        row("backup: catalogue unreadable part-way", "backup", 600, "TOSHO.MDB",
            "pread64:error=EIO:when=20+", "BOOK 表を読めません", "BOOK.DAT");
        row("restore: BOOK.DAT fails part-way", "restore", 1100, "BOOK.DAT",
            "read:error=EIO:when=2", io, "BOOK.DAT");
        row("restore: work copy full part-way", "restore", 300, "TOSHOCPY.MDB",
            "pwrite64:error=ENOSPC:when=5+", full, "TOSHOCPY.MDB");
        row("restore: work copy flush fails", "restore", 30, "TOSHOCPY.MDB", "fsync:error=EIO", io,
            "TOSHOCPY.MDB");
    }

    void failingSystemCalls() {
        const int books = cell<int>("books");
        DataFolder folder;
        // A complete backup, and a catalogue that has changed since.
        prepareCatalogue(folder.path(), books);
        backUp(folder.path());
        prepareCatalogue(folder.path(), books + 1);
        const QMap<QString, QByteArray> before = test::folderSnapshot(folder.path());

        const QString path = QDir(QDir(folder.path()).canonicalPath()).filePath(test::text("file"));
        const QStringList arguments = test::text("operation") == "restore"
                                          ? QStringList{"restore", "--yes"}
                                          : QStringList{"backup"};
        const Outcome outcome = run(traced({"-f", "-qq", "-o", "/dev/null", "-P", path, "-e",
                                            u8("inject=") + test::text("inject")},
                                           adminProgram(), arguments, folder.path()));
        QVERIFY2(!outcome.crashed, qPrintable(outcome.err));
        QCOMPARE(outcome.exitCode, 1);
        checkRefused(folder.path(), before, outcome.err,
                     {test::text("named"), test::text("message")});
    }
};

QTEST_GUILESS_MAIN(TestDurability)
#include "tst_durability.moc"
