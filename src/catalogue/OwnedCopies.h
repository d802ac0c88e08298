#pragma once

#include "catalogue/Isbn.h"

#include <QList>
#include <QString>

#include <optional>

namespace hondana {

class Connection;
class RecordSet;

// What tells one book from another when the collection is asked "do I own it already?": the
// ISBN, else the title, volume designation, running number and author as the search folds text.
// Volumes of one work differ in their running number, so a copy started as the next volume is
// never taken for the volume it was copied from.
struct BookIdentity {
    // The name under which a book's companion data (RecordSet::Companion) gives its ISBN.
    static inline const QString IsbnField = QStringLiteral("ISBN");

    QString title;  // 題名
    QString volume; // ｼﾘｰｽﾞ
    int seqNo = 0;  // SEQNO; 0 when it has none
    QString author; // 著者名
    Isbn isbn;
    // 著者NO, when the book is the register's: a number whose entry has gone is still the
    // same author as itself.
    std::optional<qint64> authorNo;
};

// The current book of the register's `books` (its pending change and companion ISBN included),
// its author named from the author list of `connection`. Throws Failure.
BookIdentity identityOfCurrentBook(Connection &connection, const RecordSet &books);

// The key two books share when they are the same book by title: blanks that pad a fixed-width
// column dropped, case, width and kana folded.
QString sameBookKey(const QString &title, const QString &volume, int seqNo, const QString &author);

// A book the catalogue holds that is the same as one about to be added.
struct OwnedCopy {
    enum class Reason { SameIsbn, SameTitle };
    qint64 rowId = 0; // BOOK's rowid
    Reason reason = Reason::SameTitle;
    QString title, volume, author;
    int seqNo = 0;

    // What the register says before it adds the book all the same: which book, and why.
    QString question() const;
};

// The first book (lowest rowid) of the catalogue that is the same as `book`, leaving out the
// books `ignored` (the book itself, or the volume a copy began from). Reads through the indexes
// of the ISBN and of the author, so it answers at once on a large catalogue. Throws Failure when
// the catalogue cannot be read.
std::optional<OwnedCopy> findOwnedCopy(Connection &connection, const BookIdentity &book,
                                       const QList<qint64> &ignored = {});

} // namespace hondana
