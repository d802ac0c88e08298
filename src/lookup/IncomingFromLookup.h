#pragma once

#include "catalogue/IncomingBook.h"
#include "lookup/LookedUpBook.h"

namespace hondana {

// What the service knows of a book, fitted to the register's columns: the first author goes to
// the author list (further ones have no column), the size to the size list, the classification to
// 請求番号 as a library shelves by it, the first amount of the price to 価格.
IncomingBook incomingFromLookup(const LookedUpBook &book);

} // namespace hondana
