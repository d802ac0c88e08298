#pragma once

namespace hondana {

// Rebuilds TOSHO.MDB in the current directory from the backup files: a copy of TOSHODEF.MDB is
// filled in one transaction, flushed, and renamed over TOSHO.MDB, whose connections are all
// closed first. After a failure TOSHO.MDB is exactly as it was. Throws Failure naming the file
// and the problem.
void restoreData();

} // namespace hondana
