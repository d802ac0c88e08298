#pragma once

#include "base/Progress.h"

#include <QString>

namespace hondana {

// Writes the five catalogue tables of the database that `connectionString` reaches into the
// backup files in `folder` (the current directory when empty), replacing the earlier ones.
// Relative names in the connection string are resolved against the folder too. Each file is
// replaced only when it is completely written. Throws Failure naming the file and the problem.
void backupData(const QString &connectionString, const QString &folder = {},
                const Progress &progress = {});

} // namespace hondana
