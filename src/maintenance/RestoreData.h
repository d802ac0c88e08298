#pragma once

#include "base/Progress.h"

#include <QString>

namespace hondana {

struct RestoreOptions {
    // Keep a snapshot of the catalogue before it is replaced, so a restore from the wrong file
    // set can be undone. The version upgrade does without: its backup files hold the same data.
    bool keepSnapshot = false;
    Progress progress;
};

// Rebuilds TOSHO.MDB in `folder` (the current directory when empty) from the backup files: a copy
// of TOSHODEF.MDB is filled in one transaction, flushed, and renamed over TOSHO.MDB, whose
// connections are all closed first. After a failure TOSHO.MDB is exactly as it was. Throws Failure
// naming the file and the problem. Returns the name of the snapshot kept, if any.
QString restoreData(const QString &folder = {}, const RestoreOptions &options = {});

} // namespace hondana
