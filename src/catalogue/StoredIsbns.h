#pragma once

#include "catalogue/Isbn.h"

#include <QHash>
#include <QList>

#include <utility>

namespace hondana {

class Connection;

// The ISBN of each book, kept in our own tables by BOOK's rowid (see OwnTables.h). A book has at
// most one; several books may share one (two copies of a title).
class StoredIsbns {
public:
    // Works on `connection`, which stays open while this object is used; adds our tables to a
    // catalogue that lacks them. Throws Failure.
    explicit StoredIsbns(Connection &connection);

    // The book's ISBN; an empty Isbn when it has none.
    Isbn forBook(qint64 bookRowId) const;
    // Stores the book's ISBN; an empty Isbn removes it. Inside a transaction the caller opened,
    // the write is part of it (the register saves the book and its ISBN together). Throws
    // Failure, also for a book that is not (or no longer) in the catalogue.
    void store(qint64 bookRowId, const Isbn &isbn);
    // Stores the (non-empty) ISBNs of many books as store() stores each, with one statement: a
    // whole collection's come in at once. Throws Failure at the first it cannot store.
    void storeAll(const QList<std::pair<qint64, Isbn>> &isbns);
    // The books (BOOK rowids, ascending) with this ISBN, found through its index.
    QList<qint64> booksWith(const Isbn &isbn) const;
    // Every book's ISBN by rowid, for lists and the export.
    QHash<qint64, Isbn> all() const;

private:
    Connection &m_connection;
};

} // namespace hondana
