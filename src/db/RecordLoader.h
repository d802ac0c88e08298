#pragma once

#include "db/RecordStorage.h"
#include "db/Schema.h"
#include "db/SourcePlan.h"

#include <QHash>
#include <QStringList>

#include <vector>

namespace hondana {

// The columns of a loaded source: their names, the kind each is treated as, and whether a value
// assigned to it can be written back.
struct RecordFields {
    QStringList names;
    QHash<QString, int> indexByName;
    std::vector<schema::Kind> kinds;
    std::vector<bool> writable;

    int indexOf(const QString &name) const { return indexByName.value(name, -1); }
    int count() const { return int(names.size()); }
};

// Reads every row `plan` selects into `storage` and describes its columns in `fields`. Every
// row goes through the engine's own interface: through the SQL module each value would cost a
// QVariant, which is most of what opening 100,000 books would take. Throws Failure starting
// with `context`; the storage is empty then.
void loadRecords(sqlite3 *db, const SourcePlan &plan, const QString &context, RecordFields &fields,
                 RecordStorage &storage);

} // namespace hondana
