#include "Harness.h"

#include "base/Failure.h"
#include "base/FileNames.h"
#include "core/AppState.h"
#include "db/Connection.h"
#include "support/CatalogueGenerator.h"
#include "support/DataFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QThread>

namespace hondana::hardening {

namespace {

// A test database connection that is closed however the caller leaves.
class OpenedFile {
public:
    explicit OpenedFile(const QString &path) : m_name(openDatabaseFile(path, u8("hardening"))) {}
    ~OpenedFile() { closeDatabase(m_name); }
    QSqlDatabase database() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
};

bool addRows(QSqlDatabase db, const QString &sql, QCryptographicHash &hash) {
    QSqlQuery query(db);
    if (!query.exec(sql))
        return false;
    while (query.next()) {
        const QSqlRecord record = query.record();
        for (int i = 0; i < record.count(); ++i) {
            const QVariant value = query.value(i);
            hash.addData(value.isNull()
                             ? QByteArray("\x01null")
                             : QByteArray(value.typeName()) + '=' + value.toString().toUtf8());
            hash.addData(QByteArrayView("\x00", 1));
        }
        hash.addData(QByteArrayView("\n"));
    }
    return true;
}

} // namespace

Outcome run(const ChildRun &child) {
    QProcess process;
    process.setWorkingDirectory(child.folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u8("HONDANA_KILL_AT"));
    for (auto it = child.environment.cbegin(); it != child.environment.cend(); ++it)
        environment.insert(it.key(), it.value());
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    if (child.childSetup)
        process.setChildProcessModifier(child.childSetup);
    QElapsedTimer timer;
    timer.start();
    process.start(child.program, child.arguments);
    Outcome outcome;
    if (!process.waitForStarted(30000))
        return outcome;
    if (child.killAfterMilliseconds >= 0 && !process.waitForFinished(child.killAfterMilliseconds))
        process.kill();
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        outcome.timedOut = true;
    }
    outcome.milliseconds = timer.elapsed();
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

Outcome runAdmin(const QString &folder, const QStringList &arguments, const QString &killAt) {
    ChildRun child{adminProgram(), arguments, folder, {}, {}, -1};
    if (!killAt.isEmpty())
        child.environment.insert(u8("HONDANA_KILL_AT"), killAt);
    return run(child);
}

void backUp(const QString &folder) {
    const Outcome outcome = runAdmin(folder, {u8("backup")});
    if (outcome.crashed || outcome.exitCode != 0)
        qFatal("set-up backup failed: %s", qPrintable(outcome.err));
}

Outcome runDriver(const QString &folder, const QString &killAt) {
    ChildRun child{driverProgram(), {}, folder, {}, {}, -1};
    if (!killAt.isEmpty())
        child.environment.insert(u8("HONDANA_KILL_AT"), killAt);
    return run(child);
}

QString straceProgram() {
    static const QString usable = [] {
        const QString strace = QStandardPaths::findExecutable(u8("strace"));
        if (strace.isEmpty())
            return QString();
        QProcess probe;
        probe.start(strace, {u8("-qq"), u8("-o"), u8("/dev/null"), u8("true")});
        return probe.waitForFinished() && probe.exitCode() == 0 ? strace : QString();
    }();
    return usable;
}

ChildRun traced(const QStringList &straceArguments, const QString &program,
                const QStringList &arguments, const QString &folder) {
    ChildRun child{straceProgram(), straceArguments, folder, {}, {}, -1};
    child.arguments << program << arguments;
    const QString sanitizer = qEnvironmentVariable("ASAN_OPTIONS");
    child.environment.insert(u8("ASAN_OPTIONS"),
                             (sanitizer.isEmpty() ? QString() : sanitizer + u8(":")) +
                                 u8("detect_leaks=0"));
    return child;
}

void prepareCatalogue(const QString &folder, int books, bool currentVersion) {
    const QDir dir(folder);
    const QString catalogue = dir.filePath(files::Catalogue);
    QFile::remove(catalogue);
    if (!QFile::copy(dir.filePath(files::CatalogueTemplate), catalogue))
        qFatal("cannot copy the catalogue template");
    QFile::setPermissions(catalogue, QFile::ReadOwner | QFile::WriteOwner);
    test::CatalogueShape shape;
    shape.books = books;
    shape.authors = 40;
    shape.publishers = 15;
    test::generateCatalogue(catalogue, shape);
    {
        OpenedFile file(catalogue);
        QSqlQuery(file.database())
            .exec(u8("INSERT INTO DOUI (ID, 同意日) VALUES (1, '2020-04-01')"));
    }
    QFile::remove(dir.filePath(files::VersionDatabase));
    if (currentVersion &&
        !QFile::copy(dir.filePath(files::VersionTemplate), dir.filePath(files::VersionDatabase)))
        qFatal("cannot install the version database");
}

QByteArray catalogueDigest(const QString &path) {
    if (!QFileInfo(path).isFile())
        return {};
    try {
        OpenedFile file(path);
        QCryptographicHash hash(QCryptographicHash::Sha256);
        for (const char *table : {"BOOK", "BUNYA", "CHOSHA", "HAKKOU", "SAIZU"}) {
            hash.addData(QByteArray(table) + ':');
            if (!addRows(file.database(), u8("SELECT * FROM %1 ORDER BY rowid").arg(u8(table)),
                         hash))
                return {};
        }
        if (!addRows(file.database(), u8("SELECT count(*) > 0 FROM DOUI"), hash))
            return {};
        return hash.result().toHex();
    } catch (const Failure &) {
        return {};
    }
}

QString integrityCheck(const QString &path) {
    try {
        OpenedFile file(path);
        QSqlQuery query(file.database());
        if (!query.exec(u8("PRAGMA integrity_check")))
            return u8("integrity_check failed to run");
        QStringList problems;
        while (query.next())
            problems << query.value(0).toString();
        return problems.join(u8("; "));
    } catch (const Failure &failure) {
        return failure.message();
    }
}

QStringList journalFiles(const QString &path) {
    QStringList found;
    for (const char *suffix : {"-journal", "-wal"}) {
        if (QFileInfo::exists(path + u8(suffix)))
            found << QFileInfo(path).fileName() + u8(suffix);
    }
    return found;
}

FirstWindow expectedFirstWindow(const QString &folder) {
    const QString version = files::resolve(files::VersionDatabase, folder);
    if (!QFileInfo(version).isFile())
        return FirstWindow::Agreement;
    QString installed = AppState::DefaultInstalledVersion;
    {
        OpenedFile file(version);
        QSqlQuery query(file.database());
        if (query.exec(u8("SELECT VER FROM VER")) && query.next())
            installed = query.value(0).toString();
    }
    if (installed != AppState::CurrentVersion)
        return FirstWindow::Agreement;
    OpenedFile catalogue(files::resolve(files::Catalogue, folder));
    QSqlQuery query(catalogue.database());
    const bool accepted =
        query.exec(u8("SELECT count(*) FROM DOUI")) && query.next() && query.value(0).toInt() > 0;
    return accepted ? FirstWindow::MainMenu : FirstWindow::Agreement;
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
    for (const QString &name : BackupFileNames)
        result.insert(name, contents(QDir(folder).filePath(name)));
    return result;
}

} // namespace hondana::hardening
