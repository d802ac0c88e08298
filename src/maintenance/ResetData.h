#pragma once

#include "base/Progress.h"

#include <QString>
#include <QStringList>

namespace hondana {

// The tables a reset empties, books before the master lists they refer to.
const QStringList &resetTables();

// Empties BOOK, BUNYA, CHOSHA, HAKKOU and SAIZU of the catalogue `connectionString` reaches
// (relative names resolved against `folder`, the current directory when empty), after keeping
// a snapshot of it. One transaction: all five tables are emptied or none is. DSTMP, DOUI, the
// stored queries, the backup files and the file itself stay as they are. Returns the name of
// the snapshot. Throws Failure naming the table or file and the problem; the catalogue is then
// as it was.
QString resetData(const QString &connectionString, const QString &folder = {},
                  const Progress &progress = {});

} // namespace hondana
