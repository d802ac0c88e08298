#pragma once

#include "db/RecordStorage.h"
#include "db/Schema.h"
#include "db/SourcePlan.h"

#include <QHash>
#include <QStringList>

#include <memory>
#include <vector>

namespace hondana {

class Connection;

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

// The rows of a one-table source, read a block at a time when they are first needed: opening
// reads only which rows there are, in order, and the first block, so a set of 100,000 books
// is ready at once while a screen shows one. Until another connection writes, every value read
// later is the value the whole set read at opening would have held; a row read after such a
// write shows the file as it is then. Rows past those the source gave are the set's own.
class OnDemandRecords {
public:
    // Rows read together: one look-up each, or one range of rowids when they run upward.
    static constexpr int BlockRows = 256;

    // Reads the rowids `plan` selects into `storage` (rows of null cells), describes the
    // columns in `fields` and reads the first block, all as one state of the file. Returns
    // nullptr when the source is not one table's own columns of known kinds, or `plan` has no
    // rowid query: then the caller reads every row. Throws Failure starting with `context`.
    static std::unique_ptr<OnDemandRecords>
    startReading(Connection &connection, const SourcePlan &plan, const QString &context,
                 RecordFields &fields, RecordStorage &storage);

    // Reads the block of storage row `row` unless it was read. Throws Failure.
    void readBlockOf(int row);
    void readAll();

private:
    OnDemandRecords(Connection &connection, RecordStorage &storage, const QString &context);
    void readBlock(sqlite3 *db, int block);

    Connection &m_connection;
    RecordStorage &m_storage;
    QString m_context;
    QString m_byRowId; // one row, ?1 its rowid
    QString m_byRange; // the rows from rowid ?1 to ?2, upward
    std::vector<schema::Kind> m_kinds;
    int m_rows = 0;
    std::vector<bool> m_blockRead;
};

} // namespace hondana
