#include "maintenance/Snapshots.h"

#include "base/Failure.h"
#include "base/FaultPoint.h"
#include "base/FileNames.h"
#include "base/SafeFile.h"
#include "db/Connection.h"
#include "db/SqliteStatement.h"
#include "maintenance/CatalogueReplacement.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace hondana::snapshots {

namespace {

const QString TimeFormat = QStringLiteral("yyyyMMdd-HHmmss");
const QString Suffix = QStringLiteral(".MDB");
// A snapshot being written; never listed, and removed by the next snapshot if it was left.
const QString PartialSuffix = QStringLiteral(".partial");

const QRegularExpression &namePattern() {
    // "20261207-013000-reset.MDB"; a second snapshot within the same second gets "-2" and so on.
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{8}-\\d{6})(?:-(\\d+))?-([a-z-]+)\\.MDB$"));
    return pattern;
}

QString displayName(const QString &path) {
    return FolderName + QLatin1Char('/') + QFileInfo(path).fileName();
}

Failure cannotTake(const QString &path, const QString &problem) {
    return Failure(
        QStringLiteral("スナップショット「%1」を作れません: %2").arg(displayName(path), problem));
}

QString newName(const QDir &folder, const QString &occasion) {
    const QString stamp = QDateTime::currentDateTime().toString(TimeFormat);
    // Within one second each further snapshot gets the next number, whatever it preceded.
    const int taken = int(folder.entryList({stamp + QStringLiteral("-*") + Suffix}).size());
    if (taken == 0)
        return QStringLiteral("%1-%2%3").arg(stamp, occasion, Suffix);
    for (int number = taken + 1;; ++number) {
        const QString name =
            QStringLiteral("%1-%2-%3%4").arg(stamp).arg(number).arg(occasion, Suffix);
        if (!folder.exists(name))
            return name;
    }
}

void makeFolder(const QString &path) {
    if (!QDir().mkpath(path))
        throw Failure(QStringLiteral("スナップショットのフォルダー「%1」を作れません"
                                     "（場所か権限を確かめてください）。")
                          .arg(path));
}

void removeLeftovers(const QDir &folder) {
    for (const QString &name : folder.entryList({QLatin1Char('*') + PartialSuffix}, QDir::Files))
        safefile::removeFile(folder.filePath(name));
}

void dropOldest(const QString &catalogue) {
    const QList<Snapshot> all = list(catalogue);
    for (qsizetype i = Kept; i < all.size(); ++i)
        safefile::removeFile(all[i].path);
}

} // namespace

QString folderOf(const QString &catalogue) {
    return QFileInfo(catalogue).absoluteDir().filePath(FolderName);
}

QString take(sqlite3 *handle, const QString &catalogue, const QString &occasion,
             const Progress &progress) {
    const QString folderPath = folderOf(catalogue);
    makeFolder(folderPath);
    const QDir folder(folderPath);
    // What a run killed before it could tidy up left behind.
    removeLeftovers(folder);
    dropOldest(catalogue);
    const QString name = newName(folder, occasion);
    const QString path = folder.filePath(name);
    const QString partial = path + PartialSuffix;
    try {
        faultpoint("snapshot.start");
        try {
            sqlite::copyDatabase(handle, partial, Progress([&progress](qint64 done, qint64 total) {
                                     progress.report(done, total);
                                     faultpoint("snapshot.copying");
                                     return true;
                                 }));
        } catch (const Failure &failure) {
            throw cannotTake(path, failure.message());
        }
        faultpoint("snapshot.copied");
        safefile::syncFile(partial);
        faultpoint("snapshot.flushed");
        safefile::renameReplacing(partial, path);
        faultpoint("snapshot.renamed");
        safefile::syncFolder(folderPath);
    } catch (...) {
        QFile::remove(partial);
        throw;
    }
    dropOldest(catalogue);
    faultpoint("snapshot.rotated");
    return name;
}

QString take(const QString &catalogue, const QString &occasion, const Progress &progress) {
    if (!QFileInfo(catalogue).isFile())
        return {};
    const QString connection = openDatabaseFile(catalogue, QStringLiteral("snapshot"));
    try {
        const QString name = take(sqlite::handleOf(QSqlDatabase::database(connection, false)),
                                  catalogue, occasion, progress);
        closeDatabase(connection);
        return name;
    } catch (...) {
        closeDatabase(connection);
        throw;
    }
}

QList<Snapshot> list(const QString &catalogue) {
    struct Entry {
        Snapshot snapshot;
        int sequence;
    };
    QList<Entry> entries;
    const QDir folder(folderOf(catalogue));
    for (const QFileInfo &file :
         folder.entryInfoList({QStringLiteral("*") + Suffix}, QDir::Files)) {
        const QRegularExpressionMatch match = namePattern().match(file.fileName());
        const QDateTime taken = QDateTime::fromString(match.captured(1), TimeFormat);
        if (!match.hasMatch() || !taken.isValid())
            continue;
        entries.append(
            {{file.fileName(), file.absoluteFilePath(), taken, match.captured(3), file.size()},
             match.captured(2).isEmpty() ? 1 : match.captured(2).toInt()});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        if (a.snapshot.taken != b.snapshot.taken)
            return a.snapshot.taken > b.snapshot.taken;
        return a.sequence > b.sequence;
    });
    QList<Snapshot> result;
    for (const Entry &entry : std::as_const(entries))
        result.append(entry.snapshot);
    return result;
}

QString quickCheck(const QString &path) {
    QString verdict;
    try {
        const QString connection = openDatabaseFile(path, QStringLiteral("quick-check"));
        try {
            sqlite::Statement check(sqlite::handleOf(QSqlDatabase::database(connection, false)),
                                    QStringLiteral("PRAGMA quick_check"), QString());
            if (check.step() == SQLITE_ROW)
                verdict = QString::fromUtf8(
                    reinterpret_cast<const char *>(sqlite3_column_text(check.get(), 0)));
        } catch (const Failure &failure) {
            verdict = failure.message();
        }
        closeDatabase(connection);
    } catch (const Failure &failure) {
        verdict = failure.message();
    }
    return verdict;
}

namespace {

// A snapshot is put back only when SQLite finds it sound.
void checkSound(const QString &path, const QString &name) {
    const QString verdict = quickCheck(path);
    if (verdict != QLatin1String("ok"))
        throw Failure(
            QStringLiteral("スナップショット「%1」は壊れています: %2").arg(name, verdict));
}

} // namespace

void restore(const QString &name, const QString &catalogue, const Progress &progress) {
    const QList<Snapshot> all = list(catalogue);
    const auto found =
        std::find_if(all.begin(), all.end(), [&](const Snapshot &s) { return s.name == name; });
    if (found == all.end())
        throw Failure(QStringLiteral("スナップショット「%1」はありません。"
                                     "hondana-admin snapshots で名前を確かめてください。")
                          .arg(name));
    const QString workCopy = QFileInfo(catalogue).absoluteDir().filePath(files::WorkCopy);
    try {
        safefile::removeFile(workCopy);
        removeSideFiles(workCopy);
        // Copied first: keeping a snapshot of the current catalogue may rotate this one out.
        safefile::copyFile(found->path, workCopy);
        checkSound(workCopy, displayName(found->path));
        safefile::syncFile(workCopy);
        faultpoint("snapshot-restore.copied");
        take(catalogue, BeforeSnapshotRestore, progress);
        replaceCatalogue(workCopy, catalogue, "snapshot-restore");
    } catch (...) {
        QFile::remove(workCopy);
        throw;
    }
}

} // namespace hondana::snapshots
