#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace hondana {

class Connection;

// The readings kept in our own tables: one per book title, one per author and publisher entry.
// Books are identified by BOOK's rowid, master entries by their list and rowid (see OwnTables.h).
// Every write refuses, with a Japanese message the screens show as they stand, a reading that is
// not kana, and a book or entry that is not (or no longer) in the catalogue.
class StoredReadings {
public:
    enum class Origin { User, Suggested };
    // The two master lists whose entries have a reading: CHOSHA and HAKKOU.
    enum class Master { Author, Publisher };

    struct Reading {
        QString text;
        Origin origin = Origin::User;
        bool operator==(const Reading &) const = default;
    };
    // An entry that has no reading yet, with the text to read.
    struct Unread {
        qint64 rowId = 0;
        QString text;
    };
    struct Suggestion {
        qint64 rowId = 0;
        QString reading;
    };

    // Works on `connection`, which stays open while this object is used; adds our tables to a
    // catalogue that lacks them. Throws Failure.
    explicit StoredReadings(Connection &connection);

    // The book's reading, if it has one.
    std::optional<Reading> title(qint64 bookRowId) const;
    // Stores the book's reading; an empty (or blank) text removes it. Inside a transaction the
    // caller opened, the write is part of it (the register saves the book and its reading
    // together). Throws Failure.
    void setTitle(qint64 bookRowId, const QString &reading, Origin origin = Origin::User);

    std::optional<Reading> name(Master master, qint64 rowId) const;
    void setName(Master master, qint64 rowId, const QString &reading, Origin origin = Origin::User);

    // Every reading of a kind by rowid, for lists that show many at once.
    QHash<qint64, Reading> titles() const;
    QHash<qint64, Reading> names(Master master) const;

    // Books and entries without a reading, with their text (title, author or publisher name),
    // for the suggester to fill.
    QList<Unread> titlesWithoutReading() const;
    QList<Unread> namesWithoutReading(Master master) const;

    // Stores suggestions in one transaction where there is no reading or only a suggested one;
    // a user's reading is never overwritten. A suggestion that is not kana, or for a row that is
    // gone, is skipped. Returns how many were stored. Throws Failure; then none is stored.
    int suggestTitles(const QList<Suggestion> &suggestions);
    int suggestNames(Master master, const QList<Suggestion> &suggestions);
    // The same for readings of `origin`; a user's reading replaces any other.
    int storeTitles(const QList<Suggestion> &readings, Origin origin);
    int storeNames(Master master, const QList<Suggestion> &readings, Origin origin);

    // The Japanese message for a reading that cannot be stored.
    static QString invalidReadingMessage(const QString &reading);

private:
    Connection &m_connection;
};

} // namespace hondana
