#pragma once

#include "base/Progress.h"
#include "catalogue/IncomingBook.h"
#include "catalogue/ReadingFill.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <array>
#include <optional>
#include <utility>

namespace hondana {

class Connection;

// Whether books that look like ones already in the catalogue are added all the same.
enum class Duplicates { Skip, Add };

// The four master lists a book names.
enum class MasterList { Author, Publisher, Category, Size };

// Why one value of a book cannot be stored; `book` indexes the books planned.
struct IntakeProblem {
    int book = 0;
    QString column; // the register's column name (題名, 著者名, 購入日 …)
    QString value;
    QString why;
};

// A book that may be one the catalogue has already.
struct IntakeLookAlike {
    enum class Reason { SameIsbn, SameTitle };
    int book = 0;
    qint64 existingRowId = 0; // BOOK's rowid of the first such book
    Reason reason = Reason::SameTitle;
};

// What adding a list of books would do, worked out without writing anything.
class IntakePlan {
public:
    struct NewMaster {
        QString name;
        QString reading; // from the first book giving one; empty leaves it to the suggester
        QList<int> books;
    };

    int bookCount = 0;
    QList<IntakeProblem> problems;     // in book order
    QList<IntakeLookAlike> lookAlikes; // in book order, one per book at most
    QList<NewMaster> newMasters[4];    // by MasterList, in order of first mention

    bool refused(int book) const;
    const IntakeLookAlike *lookAlike(int book) const;
    // Whether adding with `duplicates` writes the book.
    bool adds(int book, Duplicates duplicates) const;
    int addedCount(Duplicates duplicates) const;
    // The entries adding with `duplicates` creates in `list`: those a written book names.
    QStringList mastersToCreate(MasterList list, Duplicates duplicates) const;

    // Builds what refused() and lookAlike() answer from; again whenever problems or lookAlikes
    // change.
    void indexBooks();

private:
    QList<qsizetype> m_firstProblem; // by book: index into problems, or -1
    QList<qsizetype> m_lookAlike;    // by book: index into lookAlikes, or -1
};

// What an intake wrote: the books' rowids in the order given, and what it left without a reading
// (titles, and the authors and publishers it created) for the suggester.
struct AddedBooks {
    QList<qint64> rowIds;
    UnreadEntries unread;
};

// The columns of BOOK a book fills, with their values, empty ones left out: the book's own
// values, then the master numbers given (by MasterList).
QList<std::pair<QString, QVariant>>
bookColumnValues(const IncomingBook &book, const std::array<std::optional<qint64>, 4> &masters);

// Adds books from outside to the catalogue: an import, a look-up, a shelf scan. Everything a
// book brings is checked before anything is written, so a file's bad row is reported, not
// half-stored.
class BookIntake {
public:
    // Works on `connection`, which stays open while this object is used.
    explicit BookIntake(Connection &connection);

    // What adding would do, without writing: the problems of each book (a text too wide for its
    // column in code page 932 or holding a character outside it, an impossible date, a reading
    // that is not kana, a reading stamp other than 済, 未 or *, no title), the master entries to
    // create, and the books that look like ones already in the catalogue (same ISBN, or same
    // title, volume and author as a Japanese reader compares them). Throws Failure when the
    // catalogue cannot be read.
    IntakePlan plan(const QList<IncomingBook> &books) const;

    // Adds every book without a problem (look-alikes as `duplicates` says) in one transaction, or
    // nothing: masters missing from their lists are created under the next free number with
    // their readings, and the books' readings and ISBNs are stored with them. Inside a
    // transaction the caller opened, the write is part of it. Readings a book does not bring
    // are left for the suggester (fillSuggestedReadings). Returns the added books' rowids in the
    // order given. Throws Failure; then nothing is added.
    QList<qint64> add(const QList<IncomingBook> &books, Duplicates duplicates,
                      const Progress &progress = {});
    // The same, trusting `checked` (this intake's plan() of the same books) for what the books
    // themselves hold, so a large file's books are checked once; what the catalogue holds is
    // compared anew inside the transaction. Also says what was left without a reading.
    AddedBooks add(const QList<IncomingBook> &books, const IntakePlan &checked,
                   Duplicates duplicates, const Progress &progress = {});

    // The numbers of the entries `book` names in the four master lists (by MasterList; none
    // where it names none), creating in one transaction those the lists lack, found by folded
    // name, with the book's readings. For a book the user goes on editing before it is saved,
    // as the register's fill from a look-up. Throws Failure; then nothing is created.
    std::array<std::optional<qint64>, 4> enterMasters(const IncomingBook &book);

private:
    AddedBooks addChecked(const QList<IncomingBook> &books, QList<IntakeProblem> problems,
                          Duplicates duplicates, const Progress &progress);

    Connection &m_connection;
};

} // namespace hondana
