#pragma once

namespace hondana {

// Writes the five catalogue tables of the database that the main connection string reaches
// into the backup files in the current directory, replacing the earlier ones. Each file is
// replaced only when it is completely written. Throws Failure naming the file and the problem.
void backupData();

} // namespace hondana
