#include "lookup/IncomingFromLookup.h"

namespace hondana {

IncomingBook incomingFromLookup(const LookedUpBook &book) {
    IncomingBook incoming;
    incoming.title = book.title.name;
    incoming.titleReading = book.title.reading;
    if (!book.authors.isEmpty()) {
        incoming.author = book.authors.first().name;
        incoming.authorReading = book.authors.first().reading;
    }
    incoming.publisher = book.publisher.name;
    incoming.publisherReading = book.publisher.reading;
    incoming.size = book.size;
    incoming.callNumber = book.ndc;
    incoming.published = book.issuedDate;
    if (book.priceYen > 0)
        incoming.price = book.priceYen;
    incoming.isbn = book.isbn;
    return incoming;
}

} // namespace hondana
