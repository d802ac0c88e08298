#pragma once

class QWidget;

namespace hondana {

class DataSource;

// What the collection's windows share: the register they stand beside, found by name through the
// window registry, and its record set of books.
namespace collection {

// The register's books while the register exists; nullptr otherwise.
DataSource *registerBooks();
// Reads the register's master lists anew, so its lookups show entries added since it opened.
void refreshRegisterLists();
// Closes `window` when the register goes, so it never outlives the books it follows.
void closeWithRegister(QWidget *window);
// Opens the register when it is not open and stands it on the book `bookRowId`. Says so and
// returns false when the register cannot show that book (deleted since, or no register).
bool showBookInRegister(long long bookRowId);
// Shows the loans anew in the details panel and the loans window, whichever are open, after one
// of them lent or took back a book.
void loansChanged();
// Copies into the ISBN field the ISBNs that books without one hold in their number columns, after
// the user confirms the count; says what it did.
void copyIsbnsFromNumbersConfirmed();

} // namespace collection

// Registers the details panel, the 50音 index, the ISBN search, the ISBN copy and the loans, so the
// register's collection menu finds them.
void registerCollectionWindows();

} // namespace hondana
