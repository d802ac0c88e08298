#pragma once

#include "base/Progress.h"

#include <QDateTime>
#include <QList>
#include <QString>

struct sqlite3;

// Copies of the catalogue kept before a reset or a restore replaces it, in the folder
// "snapshots" beside it, so a user who resets or restores by mistake gets the catalogue back.
// Each is a complete catalogue file named by the moment it was taken and what it preceded
// ("20261207-013000-reset.MDB"); the newest few are kept.
namespace hondana::snapshots {

inline const QString FolderName = QStringLiteral("snapshots");
inline constexpr int Kept = 5;

// What a snapshot preceded; the last part of its name.
inline const QString BeforeReset = QStringLiteral("reset");
inline const QString BeforeRestore = QStringLiteral("restore");
inline const QString BeforeSnapshotRestore = QStringLiteral("restore-snapshot");

struct Snapshot {
    QString name;
    QString path;
    QDateTime taken;
    QString occasion;
    qint64 bytes = 0;
};

// The snapshot folder of the catalogue at `catalogue`.
QString folderOf(const QString &catalogue);

// Copies the database open on `handle` (whose file is `catalogue`) through SQLite's online
// backup, so the copy is consistent even while the file is in use. The copy is written under a
// temporary name, flushed and renamed, so a snapshot under a real name is always complete;
// afterwards only the newest Kept snapshots remain. Returns the new snapshot's name. Throws
// Failure naming the snapshot and the problem.
QString take(sqlite3 *handle, const QString &catalogue, const QString &occasion,
             const Progress &progress = {});
// The same for the catalogue file at `catalogue`, opened for the purpose. A missing catalogue
// has nothing to keep: returns an empty name.
QString take(const QString &catalogue, const QString &occasion, const Progress &progress = {});

// SQLite's quick check of the database file at `path`: "ok" when it is sound, otherwise what is
// wrong (also when it cannot be opened at all).
QString quickCheck(const QString &path);

// The snapshots of the catalogue at `catalogue`, newest first.
QList<Snapshot> list(const QString &catalogue);

// Puts the snapshot `name` back in the place of the catalogue, by the same atomic replacement
// as a restore, after keeping a snapshot of the catalogue it replaces. Throws Failure for an
// unknown name, a damaged snapshot or a failing step; the catalogue is then as it was.
void restore(const QString &name, const QString &catalogue, const Progress &progress = {});

} // namespace hondana::snapshots
