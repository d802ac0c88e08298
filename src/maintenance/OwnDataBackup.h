#pragma once

#include "maintenance/OwnDataFile.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

struct sqlite3;
struct sqlite3_stmt;

namespace hondana {

namespace backup {
struct Layout;
}

// Backup's side of our data: walks our rows of a table alongside the table's own rows (both in
// rowid order, so nothing is held in memory but the lines), is told where each row went in its
// .DAT file, and writes the file of ours after the .DAT files.
class OwnDataBackup {
public:
    // Reads from the catalogue open on `handle`, inside the backup's read transaction.
    explicit OwnDataBackup(sqlite3 *handle);
    ~OwnDataBackup();
    OwnDataBackup(const OwnDataBackup &) = delete;
    OwnDataBackup &operator=(const OwnDataBackup &) = delete;

    // The rows of `layout`'s table come next, in rowid order. Throws Failure.
    void beginTable(const backup::Layout &layout);
    // The row `rowId` was written as record `position`. Throws Failure.
    void recordWritten(qint64 rowId, qint64 position, QByteArrayView record);
    // Writes the file of ours into `folder` like the .DAT files: under a temporary name,
    // flushed, renamed. Throws Failure naming it.
    void write(const QString &folder) const;

private:
    void step();

    sqlite3 *m_handle;
    bool m_present;
    sqlite3_stmt *m_cursor = nullptr; // our rows of the current table, or none
    int m_state = 0;
    QByteArray m_file;
    QByteArray m_lines;
};

// Restore's side: reads the file of ours before the .DAT files are read, is told where each of
// their records went, and afterwards attaches every line whose record is provably the same: the
// record at the line's position has the line's digest, or (in a set edited since its backup,
// with books added or removed) exactly one record of the file has it.
class OwnDataRestore {
public:
    struct Outcome {
        bool present = false; // the set had a file of ours
        qint64 attached = 0;
        qint64 kept = 0;  // lines that could not be attached, kept in keptFile
        QString keptFile; // empty when nothing is kept
        QString problem;  // why the file as a whole could not be read
    };

    // Throws Failure when the file exists but cannot be read at all (permissions).
    explicit OwnDataRestore(const QString &folder);

    // Record `position` of `layout`'s file was restored as row `rowId`.
    void recordRestored(const backup::Layout &layout, qint64 position, const char *record,
                        qint64 rowId);
    // Attaches what belongs, in the work copy open on `handle` inside its transaction (our
    // tables are added when its template lacks them). Throws Failure.
    void attach(sqlite3 *handle);
    const Outcome &outcome() const { return m_outcome; }
    // Writes the lines that were not attached into the data folder under keptFile. Throws Failure.
    void writeKept() const;

private:
    struct Match {
        qint64 rowId = 0;
        QByteArray digest;
    };
    QString m_folder;
    owndatafile::Contents m_contents;
    // The row a record moved to when the set was edited since its backup: the one row whose
    // record has `digest`; 0 when none has, -1 when several have.
    qint64 movedRecord(const QString &file, const QByteArray &digest);

    QHash<QString, QHash<qint64, Match>> m_wanted;       // per file, per position
    QHash<QString, QList<qint64>> m_rowIds;              // per file, the rows in record order
    QHash<QString, QHash<QByteArray, qint64>> m_digests; // per file: digest → movedRecord
    QList<QByteArray> m_keptLines;
    Outcome m_outcome;
};

} // namespace hondana
