#pragma once

#include "catalogue/Isbn.h"

#include <QDate>
#include <QList>
#include <QString>

namespace hondana {

class Connection;

// A book wanted and not yet owned.
struct Wish {
    qint64 id = 0; // 0 for a wish not yet stored
    QString title;
    QString author;
    Isbn isbn;
    QString note;
    int priority = 2; // 1 (高) .. 3 (低)
    QDate addedOn;
    friend bool operator==(const Wish &, const Wish &) = default;
};

// What a newly registered book is compared with: its title, its author's name, its ISBN.
struct OwnedBook {
    QString title;
    QString author;
    Isbn isbn;
};

// The wish list, kept in a table of our own (see OwnTables.h). Its rows belong to no book, so
// deleting books never touches them; a wish leaves the list when the user strikes it.
class WishList {
public:
    // Works on `connection`, which stays open while this object is used; adds our tables to a
    // catalogue that lacks them. Throws Failure.
    explicit WishList(Connection &connection);

    // Stores a new wish (today's date when it has none) and returns its id. Throws Failure for a
    // wish without a title or with a priority out of range.
    qint64 add(const Wish &wish);
    // Stores the wish's fields under its id. Throws Failure as add does, and for a wish that is
    // no longer in the list.
    void edit(const Wish &wish);
    // Strikes the wishes with these ids, all or none. Throws Failure.
    void remove(const QList<qint64> &ids);
    // Every wish, the most wanted first, then by title in Japanese order.
    QList<Wish> all() const;
    // The wishes that the books (BOOK rowids) fulfil; each wish once.
    QList<Wish> fulfilledBy(const QList<qint64> &bookRowIds) const;

    // Whether `book` is the wished-for book: the same ISBN, or the same title and author once
    // case, width, kana and blanks are folded away. A wish with no author is fulfilled by its
    // title alone.
    static bool fulfils(const OwnedBook &book, const Wish &wish);

private:
    void write(const char *step, const QString &sql, const Wish &wish);

    Connection &m_connection;
};

} // namespace hondana
