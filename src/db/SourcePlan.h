#pragma once

#include <QString>
#include <sqlite3.h>

#include <vector>

namespace hondana {

// What a record set runs for its source, and the table it may write to.
struct SourcePlan {
    // The statement read. When `table` is set its first column is that table's rowid, by which
    // a changed row is found again.
    QString sql;
    // The one table whose rows, one result row each, the statement shows; empty: read-only.
    QString table;
    // The rowids alone of the rows `sql` reads, in its order: enough to know the rows before
    // reading them. Empty without a table or an ORDER BY, or with a LIMIT.
    QString rowIds;
};

// Plans `source`: a table name, a view name or an SQL text. A table is written; a view, a join,
// a compound or grouped select and anything else that does not show one table's rows one by one
// is read only. Throws Failure for a name that is neither a table nor a view. SQL the engine
// cannot prepare is planned read-only, and reading it reports the engine's words.
SourcePlan planSource(sqlite3 *db, const QString &source);

// For each result column of `statement` from `firstColumn` on, whether it is a column of `table`
// under its own name: only then does a value assigned to it have a place to go. All false
// without a table.
std::vector<bool> writableColumns(sqlite3 *db, sqlite3_stmt *statement, int firstColumn,
                                  const QString &table);

} // namespace hondana
