#include "Harness.h"

#include "base/Failure.h"
#include "base/FileNames.h"
#include "core/AppState.h"
#include "maintenance/BackupFormat.h"
#include "maintenance/OwnDataFile.h"
#include "support/Catalogues.h"
#include "support/TestSql.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QtTest>

namespace hondana::hardening {

Outcome run(const ChildRun &child) {
    QProcess process;
    process.setWorkingDirectory(child.folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("HONDANA_KILL_AT");
    for (auto it = child.environment.cbegin(); it != child.environment.cend(); ++it)
        environment.insert(it.key(), it.value());
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(child.program, child.arguments);
    Outcome outcome;
    if (!process.waitForFinished(child.killAfter > 0 ? child.killAfter : 120000)) {
        process.kill();
        process.waitForFinished();
        if (child.killAfter == 0) {
            outcome.err = "no answer within two minutes";
            return outcome;
        }
    }
    outcome.crashed = process.exitStatus() == QProcess::CrashExit;
    outcome.exitCode = process.exitCode();
    outcome.out = QString::fromUtf8(process.readAllStandardOutput());
    outcome.err = QString::fromUtf8(process.readAllStandardError());
    return outcome;
}

QString adminProgram() {
    return u8(HONDANA_ADMIN);
}

QString driverProgram() {
    return u8(HONDANA_HARDENING_DRIVER);
}

static Outcome runKilledAt(const QString &program, const QStringList &arguments,
                           const QString &folder, const QString &killAt) {
    ChildRun child{program, arguments, folder, {}};
    if (!killAt.isEmpty())
        child.environment.insert("HONDANA_KILL_AT", killAt);
    return run(child);
}

Outcome runAdmin(const QString &folder, const QStringList &arguments, const QString &killAt) {
    return runKilledAt(adminProgram(), arguments, folder, killAt);
}

void backUp(const QString &folder) {
    const Outcome outcome = runAdmin(folder, {"backup"});
    if (outcome.crashed || outcome.exitCode != 0)
        qFatal("set-up backup failed: %s", qPrintable(outcome.err));
}

Outcome runDriver(const QString &folder, const QString &killAt) {
    return runKilledAt(driverProgram(), {}, folder, killAt);
}

Outcome runOperation(const QStringList &arguments, const QString &folder, const QString &killAt) {
    if (arguments.value(0) == DriverOperation)
        return runKilledAt(driverProgram(), arguments.mid(1), folder, killAt);
    return arguments.isEmpty() ? runDriver(folder, killAt) : runAdmin(folder, arguments, killAt);
}

QString straceProgram() {
    static const QString usable = [] {
        const QString strace = QStandardPaths::findExecutable("strace");
        if (strace.isEmpty())
            return QString();
        QProcess probe;
        probe.start(strace, {"-qq", "-o", "/dev/null", "true"});
        return probe.waitForFinished() && probe.exitCode() == 0 ? strace : QString();
    }();
    return usable;
}

ChildRun traced(const QStringList &straceArguments, const QString &program,
                const QStringList &arguments, const QString &folder) {
    ChildRun child{straceProgram(), straceArguments + QStringList{program} + arguments, folder, {}};
    const QString sanitizer = qEnvironmentVariable("ASAN_OPTIONS");
    child.environment.insert(
        "ASAN_OPTIONS", (sanitizer.isEmpty() ? QString() : sanitizer + u8(":")) + "detect_leaks=0");
    return child;
}

void prepareCatalogue(const QString &folder, int books, bool currentVersion) {
    test::makeCatalogue(folder, books);
    const QDir dir(folder);
    // Readings, ISBNs and loans (out and back) of our own for some books and an author, and two
    // wishes, so every operation carries them too.
    test::SqlFile(dir.filePath(files::Catalogue))
        .exec(
            "INSERT INTO title_reading (book_rowid, reading, origin) SELECT rowid, 'ヨミ', 'user' "
            "FROM BOOK WHERE rowid % 3 = 1; INSERT INTO name_reading (master, master_rowid, "
            "reading, origin) SELECT 'CHOSHA', rowid, 'チョシャ', 'suggested' FROM CHOSHA "
            "WHERE rowid = 1; INSERT INTO book_isbn (book_rowid, isbn) SELECT rowid, "
            "'9784101010014' FROM BOOK WHERE rowid % 3 = 2; INSERT INTO wish (title, author, "
            "isbn, note, priority, added_on) VALUES ('欲しい本', '著者', '9784101010014', 'メモ', "
            "1, '2026-12-01'), ('二冊目', NULL, NULL, NULL, 3, '2026-12-02'); INSERT INTO loan "
            "(book_rowid, borrower, lent_on, due_on, returned_on) SELECT rowid, '借り手', "
            "'2026-10-01', '2026-10-15', CASE WHEN rowid % 2 THEN NULL ELSE '2026-10-20' END FROM "
            "BOOK WHERE rowid % 3 = 0");
    QFile::remove(dir.filePath(files::VersionDatabase));
    if (currentVersion &&
        !QFile::copy(dir.filePath(files::VersionTemplate), dir.filePath(files::VersionDatabase)))
        qFatal("cannot install the version database");
}

QByteArray catalogueDigest(const QString &path) {
    if (!QFileInfo(path).isFile())
        return {};
    const test::SqlFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const char *table : {"BOOK", "BUNYA", "CHOSHA", "HAKKOU", "SAIZU"}) {
        hash.addData(QByteArray(table) + ':');
        for (const QVariantList &row :
             file.rows(u8("SELECT * FROM %1 ORDER BY rowid").arg(table))) {
            for (const QVariant &value : row)
                hash.addData(value.isNull() ? QByteArray("\x01null")
                                            : QByteArray(value.typeName()) + '=' +
                                                  value.toString().toUtf8() + '\0');
            hash.addData(QByteArrayView("\n"));
        }
    }
    hash.addData(file.value("SELECT count(*) > 0 FROM DOUI").toByteArray());
    for (const QString &table :
         QStringList{"title_reading", "name_reading", "book_isbn", "wish", "loan"}) {
        if (file.value(u8("SELECT count(*) FROM sqlite_schema WHERE name = '%1'").arg(table))
                .toInt() == 0)
            continue;
        for (const QVariantList &row : file.rows(u8("SELECT * FROM %1 ORDER BY 1, 2").arg(table)))
            for (const QVariant &value : row)
                hash.addData(value.toString().toUtf8() + '\0');
    }
    return hash.result().toHex();
}

QString integrityCheck(const QString &path) {
    if (!QFileInfo(path).isFile())
        return "no file";
    const test::SqlFile file(path);
    QSqlQuery query(file.database());
    if (!query.exec("PRAGMA integrity_check"))
        return query.lastError().text();
    QStringList problems;
    while (query.next())
        problems << query.value(0).toString();
    return problems.join("; ");
}

QStringList journalFiles(const QString &path) {
    QStringList found;
    for (const char *suffix : {"-journal", "-wal"})
        if (QFileInfo::exists(path + u8(suffix)))
            found << QFileInfo(path).fileName() + u8(suffix);
    return found;
}

FirstWindow expectedFirstWindow(const QString &folder) {
    const QString version = files::resolve(files::VersionDatabase, folder);
    const QString catalogue = files::resolve(files::Catalogue, folder);
    if (!QFileInfo(version).isFile() || !QFileInfo(catalogue).isFile() ||
        test::SqlFile(version).value("SELECT VER FROM VER") != AppState::CurrentVersion)
        return FirstWindow::Agreement;
    return test::SqlFile(catalogue).value("SELECT count(*) FROM DOUI").toInt() > 0
               ? FirstWindow::MainMenu
               : FirstWindow::Agreement;
}

FirstWindow startUpIn(const QString &folder, QString *failure) {
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder);
    AppState::instance().reset();
    FirstWindow window = FirstWindow::Agreement;
    try {
        window = decideFirstWindow();
    } catch (const Failure &f) {
        *failure = f.message();
    }
    AppState::instance().reset();
    QDir::setCurrent(previous);
    return window;
}

QMap<QString, QByteArray> backupFiles(const QString &folder) {
    QMap<QString, QByteArray> result;
    for (const QString &name : BackupFiles)
        result.insert(name, contents(QDir(folder).filePath(name)));
    return result;
}

void checkRefused(const QString &folder, const QMap<QString, QByteArray> &before,
                  const QString &message, const QStringList &mustSay) {
    for (const QString &part : mustSay)
        QVERIFY2(message.contains(part), qPrintable(message));
    const QMap<QString, QByteArray> after = test::folderSnapshot(folder);
    QStringList names = before.keys() + after.keys();
    names.removeDuplicates();
    for (const QString &name : std::as_const(names)) {
        if (before.value(name) == after.value(name))
            continue;
        // A backup file may be the new one, but only whole: never a short file under its name.
        const QByteArray written = contents(QDir(folder).filePath(name));
        const bool whole = BackupFiles.contains(name) && after.contains(name) &&
                           (name == owndatafile::FileName
                                ? written.startsWith(owndatafile::headerLine())
                                : written.size() % backup::layout(name).recordLength == 0);
        QVERIFY2(whole, qPrintable(name + u8(" changed")));
    }
}

} // namespace hondana::hardening
