#pragma once

#include <QString>
#include <QVariant>

namespace hondana {

class Connection;
class RecordSet;

// The rules that keep the master lists usable by the books: every row has a number, a number
// stands once in its list, and a number that books still refer to is not taken away.
namespace masters {

// The master table and its number column; books refer to the master under the same column name.
struct MasterKey {
    QString table;
    QString numberColumn;
};

// What a row must be to be saved: it has a number (a backup leaves a row without one out), it
// does not take away a number books refer to (unless another row holds it too), and no other
// row holds its number (unless the row had it before, so that lists restored from an older
// installation with a number twice stay editable). `rowId` 0 is a row not yet written.
// Throws Failure saying what to correct.
void checkSavable(Connection &connection, const MasterKey &key, const QVariant &number,
                  qint64 rowId);

// Refuses (Failure giving the number of books) deleting the row `rowId` holding `number` while
// books refer to that number and no other row of the list holds it.
void checkNotReferenced(Connection &connection, const MasterKey &key, const QVariant &number,
                        qint64 rowId);

// Installs checkSavable and checkNotReferenced as the save and delete checks of a master list's
// record set.
void guardMasterList(RecordSet &list, Connection &connection, const MasterKey &key);

} // namespace masters
} // namespace hondana
