#pragma once

#include "maintenance/OwnDataFile.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <exception>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

class QFile;
struct sqlite3;
struct sqlite3_stmt;

namespace hondana {

namespace backup {
struct Layout;
}
namespace safefile {
class ReplacingFileWriter;
}

// Backup's side of our data: is told where each row of a table went in its .DAT file and writes
// the lines of our rows for it, so nothing is held in memory; the file of ours is put in place
// after the .DAT files. The lines are read, spelled and written on a thread of their own, so the
// backup's thread only hashes each record it writes.
class OwnDataBackup {
public:
    // Reads from the catalogue open on `handle`, inside the backup's read transaction, and
    // writes into `folder`. Throws Failure.
    OwnDataBackup(sqlite3 *handle, const QString &folder);
    ~OwnDataBackup();
    OwnDataBackup(const OwnDataBackup &) = delete;
    OwnDataBackup &operator=(const OwnDataBackup &) = delete;

    // The rows of `layout`'s table come next, in rowid order. Throws Failure.
    void beginTable(const backup::Layout &layout);
    // The row `rowId` was written as record `position`. Throws Failure.
    void recordWritten(qint64 rowId, qint64 position, QByteArrayView record);
    // Ends the file of ours like the .DAT files: written under a temporary name, flushed,
    // renamed. Throws Failure naming it.
    void commit();

    struct WrittenRecord {
        qint64 rowId;
        qint64 position;
        owndatafile::RecordHash hash;
    };

private:
    class LineWriter;

    void startFile();
    // Hands the records gathered so far to the line writer.
    void handOver();

    sqlite3 *m_handle;
    bool m_present;
    QString m_folder;
    std::unique_ptr<safefile::ReplacingFileWriter> m_writer;
    std::unique_ptr<LineWriter> m_lines;      // none when the catalogue has no tables of ours
    const backup::Layout *m_layout = nullptr; // the table whose records carry our data, or none
    std::vector<WrittenRecord> m_records;
};

// Restore's side: reads the file of ours alongside the .DAT files and attaches every line whose
// record is provably the same: the record at the line's position has the line's digest, or (in a
// set edited since its backup, with books added or removed) exactly one record of the file has it.
// The file is read on a thread of its own while the .DAT files go in, so that what is left for
// the end is to compare digests and store the lines.
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
    ~OwnDataRestore();
    OwnDataRestore(const OwnDataRestore &) = delete;
    OwnDataRestore &operator=(const OwnDataRestore &) = delete;

    // The work copy open on `handle`, inside its transaction, is about to be filled; our tables
    // are added when its template lacks them. Throws Failure.
    void begin(sqlite3 *handle);
    // Record `position` (1, 2, ... in order) of `layout`'s file was restored as row `rowId`.
    void recordRestored(const backup::Layout &layout, qint64 position, const char *record,
                        qint64 rowId);
    // Every record is in: attaches the lines, where it can. Throws Failure.
    void finish();
    // Lets go of the work copy's statements, after finish or on a failure: a connection with a
    // statement still prepared on it cannot close, and would stay open for good.
    void end();
    const Outcome &outcome() const { return m_outcome; }
    // Writes the lines that were not attached into the data folder under keptFile. Throws Failure.
    void writeKept() const;

private:
    class Inserts;
    struct ReadLine;
    struct RestoredRecord {
        qint64 rowId = 0;
        owndatafile::Digest digest{};
    };

    // The reading thread's work: every line of the file, split and checked.
    void readLines();
    // Attaches the line to `rowId`, or keeps it when it cannot be attached.
    void attachOrKeep(const ReadLine &line, qint64 rowId);
    // The row whose record has `digest` in a set edited since its backup: 0 when none has, -1
    // when several have.
    qint64 movedRecord(int file, const owndatafile::Digest &digest);

    QString m_folder;
    std::unique_ptr<QFile> m_file;
    int m_version = 0;
    QByteArray m_bytes; // the whole file, read on the reading thread; lines are views into it
    std::unique_ptr<Inserts> m_inserts;
    const backup::Layout *m_layout = nullptr; // the layout m_layoutFile was looked up for
    int m_layoutFile = -1;
    std::vector<RestoredRecord> m_records[3];              // per file of ours, by position
    std::optional<QHash<QByteArray, qint64>> m_digests[3]; // per file: digest → movedRecord
    std::vector<ReadLine> m_lines;                         // what the reading thread made
    std::exception_ptr m_readFailure;
    QList<QByteArrayView> m_keptLines;
    Outcome m_outcome;
    std::thread m_reading; // last: joined before anything it uses goes
};

} // namespace hondana
