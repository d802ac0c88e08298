#pragma once

#include "base/Progress.h"

#include <QList>
#include <QPair>
#include <QString>

struct sqlite3;

namespace hondana {

// What a check of the catalogue found: the rows of each table, and every problem with what the
// user can do about it.
struct CatalogueCheckReport {
    struct Problem {
        QString what;
        QString remedy;
    };
    QList<QPair<QString, qint64>> rowCounts;
    QList<Problem> problems;

    bool sound() const { return problems.isEmpty(); }
};

// Checks the catalogue `connectionString` reaches: SQLite's integrity check, books that refer
// to a master number no master list holds, master numbers that stand twice, master rows without
// a number, reading stamps the stamp list (DSTMP) does not offer. Only reads. Throws Failure
// when the catalogue cannot be opened or read at all.
CatalogueCheckReport checkCatalogue(const QString &connectionString, const QString &folder = {},
                                    const Progress &progress = {});

} // namespace hondana

namespace hondana {

// Books that refer to a master number no master list holds, one finding per master list, in
// the open catalogue `handle`.
QList<CatalogueCheckReport::Problem> missingMasterReferences(sqlite3 *handle);

} // namespace hondana
