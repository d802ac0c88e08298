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

// Running hondana-admin and the upgrade driver as child processes (killed at a named step, or
// traced with failing system calls), and looking at the working folder afterwards.
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

QString adminProgram();
QString driverProgram();
// `killAt` names a HONDANA_KILL_AT step.
Outcome runAdmin(const QString &folder, const QStringList &arguments, const QString &killAt = {});
// A set-up backup; stops the test run if it fails.
void backUp(const QString &folder);
// Start-up and, where it asks for the agreement, its acceptance (first acceptance or upgrade).
Outcome runDriver(const QString &folder, const QString &killAt = {});
// Arguments that begin with this go to the driver instead of hondana-admin.
inline const QString DriverOperation = QStringLiteral("--driver");
// hondana-admin with `arguments`, or the driver when there are none or they begin with
// DriverOperation.
Outcome runOperation(const QStringList &arguments, const QString &folder,
                     const QString &killAt = {});

// strace, when it is installed and may trace here; empty otherwise.
QString straceProgram();
// The sanitizers' leak check cannot run under a tracer, so it is off in the traced program.
ChildRun traced(const QStringList &straceArguments, const QString &program,
                const QStringList &arguments, const QString &folder);

// TOSHO.MDB of `folder` with `books` books and a recorded acceptance. With `currentVersion` the
// version database says "1.02"; without it there is none, as in a catalogue of an earlier release.
void prepareCatalogue(const QString &folder, int books, bool currentVersion = true);

// Equal digests mean equal rows in the five catalogue tables and the same acceptance; empty when
// there is no such file.
QByteArray catalogueDigest(const QString &path);
QString integrityCheck(const QString &path); // "ok" when sound
QStringList journalFiles(const QString &path);

// The first window the decision table gives, read from the files rather than by start-up.
FirstWindow expectedFirstWindow(const QString &folder);
// Start-up's own decision in `folder`; a failure's message goes to *failure.
FirstWindow startUpIn(const QString &folder, QString *failure);

QMap<QString, QByteArray> backupFiles(const QString &folder);

// After a refusal: `message` says each of `mustSay`, and nothing in the folder changed since
// `before` (a folderSnapshot) but backup files replaced by complete ones.
void checkRefused(const QString &folder, const QMap<QString, QByteArray> &before,
                  const QString &message, const QStringList &mustSay);

} // namespace hondana::hardening
