#pragma once

#include <QStringList>

namespace hondana {

class DataSource;
struct IncomingBook;

// Fills the register's current book with what a look-up found: only the fields still empty, so
// nothing the user typed is overwritten. The author, publisher, category and size are entered in
// their master lists first (found by folded name, or added with their readings) so the
// register's lookups can show them. The book itself is saved as the user saves it. Returns the
// fields filled, as the register's labels name them. Throws Failure naming what could not be
// filled; master entries made before stay in their lists.
QStringList fillRegisterBook(DataSource &books, const IncomingBook &book);

} // namespace hondana
