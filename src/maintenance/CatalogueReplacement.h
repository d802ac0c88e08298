#pragma once

#include <QString>

namespace hondana {

// Removes the journal and write-ahead files SQLite keeps beside the database at `path`.
void removeSideFiles(const QString &path);

// Puts the finished, flushed `workCopy` in the place of `catalogue` in one rename: every
// registered connection to the catalogue is closed first, and a journal a cut-short save left
// beside the old file is rolled back into it, so it can never be replayed into the new one.
// `step` names the fault points ("<step>.rename", "<step>.renamed"). Throws Failure; until the
// rename the old catalogue is untouched.
void replaceCatalogue(const QString &workCopy, const QString &catalogue, const char *step);

} // namespace hondana
