#include "collection/LookupFill.h"

#include "catalogue/BookIntake.h"
#include "collection/CollectionWindows.h"
#include "db/RecordSet.h"
#include "widgets/DataSource.h"

namespace hondana {

QStringList fillRegisterBook(DataSource &books, const IncomingBook &book) {
    // What the user typed and has not handed over yet counts as filled.
    books.commitEdits();
    RecordSet &set = books.recordSet();
    const auto masters = BookIntake(books.connection()).enterMasters(book);
    collection::refreshRegisterLists();
    QStringList filled;
    for (const auto &[column, value] : bookColumnValues(book, masters)) {
        if (set.fieldIndex(column) < 0)
            continue;
        const QVariant present = set.value(column);
        if (!present.isNull() && !present.toString().trimmed().isEmpty())
            continue;
        set.setValue(column, value);
        filled << column;
    }
    return filled;
}

} // namespace hondana
