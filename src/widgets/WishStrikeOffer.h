#pragma once

#include <QList>

namespace hondana {

class Connection;

// After books were registered (the register, the shelf scan, an import): when they fulfil
// wishes, offers in one question to strike those from the wish list (No is the default), and
// strikes them on Yes. The books are saved already, so a failure here is only told, never
// undone; an open wish-list window shows the list anew.
void offerToStrikeFulfilledWishes(Connection &connection, const QList<qint64> &newBookRowIds);

} // namespace hondana
