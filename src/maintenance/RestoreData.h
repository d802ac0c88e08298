#pragma once

#include "base/Progress.h"
#include "maintenance/OwnDataBackup.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace hondana {

struct RestoreOptions {
    // Keep a snapshot of the catalogue before it is replaced, so a restore from the wrong file
    // set can be undone. The version upgrade does without: its backup files hold the same data.
    bool keepSnapshot = false;
    Progress progress;
};

// What the backup files held, as a restore read them.
struct RestoreSummary {
    struct File {
        QString name;
        qint64 records = 0;
        qint64 leftOverBytes = 0; // a trailing fragment shorter than a record, not restored
    };
    QList<File> files;
    // Books that refer to a master number no master file holds, one finding per master list.
    QStringList missingMasters;
    // What became of the file of our own data.
    OwnDataRestore::Outcome ownData;

    // A fragment or a missing master: the set is damaged, and the user decides whether to go on.
    bool damaged() const;
    // One line per file, then the findings.
    QString text() const;
};

// A restore in two steps, so that the user can see what the files held before the catalogue
// is replaced: read() builds the work copy beside TOSHO.MDB, replace() puts it in place. A
// restore that is not replaced leaves TOSHO.MDB as it was and takes its work copy away.
class CatalogueRestore {
public:
    explicit CatalogueRestore(const QString &folder = {}, bool keepSnapshot = false);
    ~CatalogueRestore();
    CatalogueRestore(const CatalogueRestore &) = delete;
    CatalogueRestore &operator=(const CatalogueRestore &) = delete;

    // Throws Failure naming the file and the problem.
    RestoreSummary read(const Progress &progress = {});
    // Returns the name of the snapshot kept, if any. Throws Failure; TOSHO.MDB is then as it was.
    QString replace(const Progress &progress = {});

private:
    QString m_folder;
    bool m_keepSnapshot;
    QString m_workCopy;
    bool m_madeWorkCopy = false; // a work copy left over before the checks is not ours to take
    bool m_replaced = false;
    std::unique_ptr<OwnDataRestore> m_ownData;
};

// Rebuilds TOSHO.MDB in `folder` (the current directory when empty) from the backup files: a copy
// of TOSHODEF.MDB is filled in one transaction, flushed, and renamed over TOSHO.MDB, whose
// connections are all closed first. After a failure TOSHO.MDB is exactly as it was. Throws Failure
// naming the file and the problem. Returns the name of the snapshot kept, if any. A damaged
// set is restored as far as it goes: for callers whose files were just written.
QString restoreData(const QString &folder = {}, const RestoreOptions &options = {});

} // namespace hondana
