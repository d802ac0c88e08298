#pragma once

#include "base/Progress.h"

#include <QList>
#include <QPair>
#include <QString>

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
// to a master number no master list holds, master numbers that stand twice, reading stamps the
// stamp list (DSTMP) does not offer. Only reads. Throws Failure when the catalogue cannot be
// opened or read at all.
CatalogueCheckReport checkCatalogue(const QString &connectionString, const QString &folder = {},
                                    const Progress &progress = {});

} // namespace hondana
