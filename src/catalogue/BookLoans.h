#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace hondana {

class Connection;

// One lending of a book: to whom, from when, until when it was due and when it came back.
struct Loan {
    qint64 id = 0;
    qint64 bookRowId = 0;
    QString title;        // the book's 題名
    QString titleReading; // its reading, empty when it has none
    QString borrower;     // as the user typed it
    QDate lentOn;
    QDate dueOn;      // invalid when no date was set
    QDate returnedOn; // invalid while the book is out

    bool isOpen() const { return !returnedOn.isValid(); }
    bool isOverdue(const QDate &today) const {
        return isOpen() && dueOn.isValid() && dueOn < today;
    }
};

// The books lent and to whom, kept in our own tables by BOOK's rowid (see OwnTables.h). A book
// is lent to one borrower at a time. Every write is one transaction of its own (inside a
// caller's, a part of it) and refuses, with a Japanese message the screens show as it stands, a
// book that is not (or no longer) in the catalogue, a blank name and dates out of order.
class BookLoans {
public:
    inline static constexpr int MaxBorrowerLength = 100;

    // Works on `connection`, which stays open while this object is used; adds our tables to a
    // catalogue that lacks them. Throws Failure.
    explicit BookLoans(Connection &connection);

    // Lends the book; `dueOn` may be invalid (no date due). Returns the loan's id. Throws
    // Failure, also when the book is out already.
    qint64 lend(qint64 bookRowId, const QString &borrower, const QDate &lentOn,
                const QDate &dueOn = {});
    // Records the loan's book as back on `returnedOn`. Throws Failure, also for a loan that is
    // back already or gone.
    void giveBack(qint64 loanId, const QDate &returnedOn);

    // The book's loan not yet returned, if it is out.
    std::optional<Loan> openLoanOf(qint64 bookRowId) const;
    // Every book out now.
    QList<Loan> openLoans() const;
    // Every loan, returned or not, newest first: of one book when `bookRowId` is not 0, of one
    // borrower when `borrower` is not empty.
    QList<Loan> history(qint64 bookRowId = 0, const QString &borrower = {}) const;
    // The names lent to so far, each once, in Japanese order, for the user to pick from.
    QStringList borrowers() const;

private:
    QList<Loan> read(const QString &where, qint64 bookRowId, const QString &borrower,
                     const QString &order) const;

    Connection &m_connection;
};

} // namespace hondana
