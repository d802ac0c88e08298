#pragma once

#include <QString>

namespace hondana {

// Rebuilds TOSHO.MDB in `folder` (the current directory when empty) from the backup files: a copy
// of TOSHODEF.MDB is filled in one transaction, flushed, and renamed over TOSHO.MDB, whose
// connections are all closed first. After a failure TOSHO.MDB is exactly as it was. Throws Failure
// naming the file and the problem.
void restoreData(const QString &folder = {});

} // namespace hondana
