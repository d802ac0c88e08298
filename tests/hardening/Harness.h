#pragma once

#include "core/Startup.h"
#include "support/Catalogues.h"
#include "support/TestFiles.h"

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>

// What the hardening tests share: running hondana-admin and the upgrade driver as child
// processes (killed at a named step, or traced with failing system calls), and looking at a
// working folder afterwards the way the next start of the program would.
namespace hondana::hardening {

using test::contents;
using test::u8;
using test::writeFile;

using test::BackupFiles;

struct Outcome {
    int exitCode = -1;
    bool crashed = false;
    QString out;
    QString err;
};

struct ChildRun {
    QString program;
    QStringList arguments;
    QString folder;
    QMap<QString, QString> environment; // added to the test's own environment
    int killAfter = 0; // milliseconds until SIGKILL; 0: given two minutes to answer
};

Outcome run(const ChildRun &child);

// hondana-admin and the upgrade driver of this build.
QString adminProgram();
QString driverProgram();
// `hondana-admin <arguments>` in `folder`; `killAt` names a HONDANA_KILL_AT step.
Outcome runAdmin(const QString &folder, const QStringList &arguments, const QString &killAt = {});
// `hondana-admin backup` in `folder` for a test's set-up; stops the test run if it fails.
void backUp(const QString &folder);
// Start-up and, where it asks for the agreement, its acceptance (first acceptance or upgrade).
Outcome runDriver(const QString &folder, const QString &killAt = {});

// strace, when it is installed and may trace here; empty otherwise.
QString straceProgram();
// `program arguments` under strace with `straceArguments`, in `folder`. The sanitizers' leak
// check cannot run under a tracer, so it is off in the traced program.
ChildRun traced(const QStringList &straceArguments, const QString &program,
                const QStringList &arguments, const QString &folder);

// TOSHO.MDB of `folder` with `books` books and a recorded acceptance. With `currentVersion` the
// version database says "1.02"; without it there is none, as in a catalogue of an earlier release.
void prepareCatalogue(const QString &folder, int books, bool currentVersion = true);

// A digest of the rows of the five catalogue tables and of whether the agreement is recorded:
// equal digests mean equal data. Empty when there is no such file.
QByteArray catalogueDigest(const QString &path);
// SQLite's own check of the file; "ok" when sound.
QString integrityCheck(const QString &path);
// Journal and write-ahead files beside `path` that SQLite would replay at the next open.
QStringList journalFiles(const QString &path);

// The first window the decision table gives for the files in `folder`, read directly from the
// files, not through the program's start-up.
FirstWindow expectedFirstWindow(const QString &folder);
// The program's own start-up decision in `folder` (made the current directory meanwhile).
// Returns the window, or the failure's message in *failure.
FirstWindow startUpIn(const QString &folder, QString *failure);

// Each backup file's bytes, "<missing>" for a missing one.
QMap<QString, QByteArray> backupFiles(const QString &folder);

// What must hold after an operation was refused with `message`: it says each of `mustSay`, and
// nothing in the folder changed since `before` (a folderSnapshot) but backup files replaced by
// complete ones; no work copy, temporary file or journal is left behind.
void checkRefused(const QString &folder, const QMap<QString, QByteArray> &before,
                  const QString &message, const QStringList &mustSay);

} // namespace hondana::hardening
