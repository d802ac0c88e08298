#pragma once

#include <QString>

namespace hondana {

// Copies the file `sourceName` to `targetName`, both in `folder` (the current directory when
// empty) and matched without regard to case. The copy is written under a temporary name,
// flushed and renamed into place, so the target is either the old file or the whole new one,
// and it is writable even when the source is not. Throws Failure naming both files.
void copyFileReplacing(const QString &sourceName, const QString &targetName,
                       const QString &folder = {});

} // namespace hondana
