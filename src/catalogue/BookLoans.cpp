#include "catalogue/BookLoans.h"

#include "base/Failure.h"
#include "base/FaultPoint.h"
#include "catalogue/JapaneseOrder.h"
#include "db/Connection.h"
#include "db/OwnTables.h"
#include "db/SqliteStatement.h"

#include <algorithm>

namespace hondana {

namespace {

QString loansUnreadable() {
    return QStringLiteral("貸出の記録を読み出せません");
}
QString cannotLend() {
    return QStringLiteral("貸出を記録できません");
}
QString cannotGiveBack() {
    return QStringLiteral("返却を記録できません");
}

QString isoDate(const QDate &date) {
    return date.isValid() ? date.toString(Qt::ISODate) : QString();
}

void bindLoanText(sqlite3_stmt *statement, int index, const QString &text) {
    if (text.isNull()) {
        sqlite3_bind_null(statement, index);
        return;
    }
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void finishLoanStep(int result, sqlite3 *handle, const QString &context) {
    if (sqlite::Statement::failed(result))
        throw Failure(context + QStringLiteral(": ") + sqlite::lastError(handle));
}

// A savepoint: on its own a transaction, inside the caller's one a part of it.
class LoanWrite {
public:
    LoanWrite(sqlite3 *handle, const QString &context) : m_handle(handle), m_context(context) {
        sqlite::execute(handle, "SAVEPOINT loans", context);
    }
    ~LoanWrite() {
        if (!m_done)
            sqlite3_exec(m_handle, "ROLLBACK TO loans; RELEASE loans", nullptr, nullptr, nullptr);
    }
    LoanWrite(const LoanWrite &) = delete;
    LoanWrite &operator=(const LoanWrite &) = delete;

    void commit(const char *step, const char *done) {
        faultpoint(step);
        sqlite::execute(m_handle, "RELEASE loans", m_context);
        m_done = true;
        faultpoint(done);
    }

private:
    sqlite3 *m_handle;
    QString m_context;
    bool m_done = false;
};

Failure loanRefused(const QString &context, const QString &why) {
    return Failure(QStringLiteral("%1: %2").arg(context, why));
}

} // namespace

BookLoans::BookLoans(Connection &connection) : m_connection(connection) {
    connection.ensureOwnTables();
}

qint64 BookLoans::lend(qint64 bookRowId, const QString &borrower, const QDate &lentOn,
                       const QDate &dueOn) {
    const QString name = borrower.trimmed();
    if (name.isEmpty())
        throw loanRefused(cannotLend(), QStringLiteral("貸出先を入力してください。"));
    if (name.size() > MaxBorrowerLength)
        throw loanRefused(cannotLend(),
                          QStringLiteral("貸出先は %1 文字までです。").arg(MaxBorrowerLength));
    if (!lentOn.isValid())
        throw loanRefused(cannotLend(), QStringLiteral("貸出日を入力してください。"));
    if (dueOn.isValid() && dueOn < lentOn)
        throw loanRefused(cannotLend(), QStringLiteral("返却予定日が貸出日より前になっています。"));
    sqlite3 *handle = sqlite::handleOf(m_connection.database());
    LoanWrite write(handle, cannotLend());
    if (const std::optional<Loan> open = openLoanOf(bookRowId))
        throw loanRefused(cannotLend(),
                          QStringLiteral("この本は %1 から%2さんに貸出中です。")
                              .arg(open->lentOn.toString(u"yyyy/MM/dd"), open->borrower));
    // One statement: the book's presence and the write are one step.
    sqlite::Statement insert(handle,
                             QStringLiteral("INSERT INTO %1 (book_rowid, borrower, lent_on, "
                                            "due_on) SELECT rowid, ?2, ?3, ?4 FROM BOOK WHERE "
                                            "rowid = ?1")
                                 .arg(owntables::LoanTable),
                             cannotLend());
    sqlite3_bind_int64(insert.get(), 1, bookRowId);
    bindLoanText(insert.get(), 2, name);
    bindLoanText(insert.get(), 3, isoDate(lentOn));
    bindLoanText(insert.get(), 4, dueOn.isValid() ? isoDate(dueOn) : QString());
    finishLoanStep(insert.step(), handle, cannotLend());
    if (sqlite3_changes(handle) == 0)
        throw loanRefused(cannotLend(), QStringLiteral("この本は「BOOK」にもうありません（ほかの"
                                                       "画面で削除されたようです）。"));
    const qint64 id = sqlite3_last_insert_rowid(handle);
    write.commit("loans.lend", "loans.lent");
    return id;
}

void BookLoans::giveBack(qint64 loanId, const QDate &returnedOn) {
    if (!returnedOn.isValid())
        throw loanRefused(cannotGiveBack(), QStringLiteral("返却日を入力してください。"));
    sqlite3 *handle = sqlite::handleOf(m_connection.database());
    LoanWrite write(handle, cannotGiveBack());
    sqlite::Statement query(handle,
                            QStringLiteral("SELECT lent_on, returned_on IS NOT NULL FROM %1 WHERE "
                                           "id = ?")
                                .arg(owntables::LoanTable),
                            cannotGiveBack());
    sqlite3_bind_int64(query.get(), 1, loanId);
    const int found = query.step();
    finishLoanStep(found, handle, cannotGiveBack());
    if (found != SQLITE_ROW)
        throw loanRefused(
            cannotGiveBack(),
            QStringLiteral("この貸出の記録はもうありません（本が削除されたようです）。"));
    if (sqlite3_column_int(query.get(), 1) != 0)
        throw loanRefused(cannotGiveBack(), QStringLiteral("この本はもう返却されています。"));
    const QDate lentOn = QDate::fromString(sqlite::columnText(query.get(), 0), Qt::ISODate);
    if (returnedOn < lentOn)
        throw loanRefused(cannotGiveBack(),
                          QStringLiteral("返却日が貸出日 %1 より前になっています。")
                              .arg(lentOn.toString(u"yyyy/MM/dd")));
    sqlite::Statement update(
        handle,
        QStringLiteral("UPDATE %1 SET returned_on = ?2 WHERE id = ?1").arg(owntables::LoanTable),
        cannotGiveBack());
    sqlite3_bind_int64(update.get(), 1, loanId);
    bindLoanText(update.get(), 2, isoDate(returnedOn));
    finishLoanStep(update.step(), handle, cannotGiveBack());
    write.commit("loans.return", "loans.returned");
}

std::optional<Loan> BookLoans::openLoanOf(qint64 bookRowId) const {
    const QList<Loan> open =
        read(QStringLiteral("l.book_rowid = ?1 AND l.returned_on IS NULL"), bookRowId, {}, {});
    return open.isEmpty() ? std::nullopt : std::optional<Loan>(open.first());
}

QList<Loan> BookLoans::openLoans() const {
    return read(QStringLiteral("l.returned_on IS NULL"), 0, {}, QStringLiteral("l.id"));
}

QList<Loan> BookLoans::history(qint64 bookRowId, const QString &borrower) const {
    QStringList where;
    if (bookRowId != 0)
        where << QStringLiteral("l.book_rowid = ?1");
    if (!borrower.trimmed().isEmpty())
        where << QStringLiteral("l.borrower = ?2");
    return read(where.isEmpty() ? QStringLiteral("1") : where.join(QStringLiteral(" AND ")),
                bookRowId, borrower.trimmed(), QStringLiteral("l.lent_on DESC, l.id DESC"));
}

QStringList BookLoans::borrowers() const {
    sqlite3 *handle = sqlite::handleOf(m_connection.database());
    sqlite::Statement query(
        handle, QStringLiteral("SELECT DISTINCT borrower FROM %1").arg(owntables::LoanTable),
        loansUnreadable());
    QStringList names;
    int result;
    while ((result = query.step()) == SQLITE_ROW)
        names << sqlite::columnText(query.get(), 0);
    finishLoanStep(result, handle, loansUnreadable());
    const JapaneseOrder order;
    std::sort(names.begin(), names.end(),
              [&](const QString &a, const QString &b) { return order.compare(a, {}, b, {}) < 0; });
    return names;
}

QList<Loan> BookLoans::read(const QString &where, qint64 bookRowId, const QString &borrower,
                            const QString &order) const {
    sqlite3 *handle = sqlite::handleOf(m_connection.database());
    // A loan whose book another program deleted is left out; the check names it.
    sqlite::Statement query(
        handle,
        QStringLiteral("SELECT l.id, l.book_rowid, b.[題名], r.reading, l.borrower, l.lent_on, "
                       "l.due_on, l.returned_on FROM %1 l JOIN BOOK b ON b.rowid = l.book_rowid "
                       "LEFT JOIN %2 r ON r.book_rowid = l.book_rowid WHERE %3%4")
            .arg(owntables::LoanTable, owntables::TitleReadingTable, where,
                 order.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + order),
        loansUnreadable());
    if (sqlite3_bind_parameter_count(query.get()) >= 1)
        sqlite3_bind_int64(query.get(), 1, bookRowId);
    if (sqlite3_bind_parameter_count(query.get()) >= 2)
        bindLoanText(query.get(), 2, borrower);
    QList<Loan> loans;
    int result;
    while ((result = query.step()) == SQLITE_ROW) {
        const auto date = [&](int column) {
            return QDate::fromString(sqlite::columnText(query.get(), column), Qt::ISODate);
        };
        loans.append({sqlite3_column_int64(query.get(), 0), sqlite3_column_int64(query.get(), 1),
                      sqlite::columnText(query.get(), 2).trimmed(),
                      sqlite::columnText(query.get(), 3), sqlite::columnText(query.get(), 4),
                      date(5), date(6), date(7)});
    }
    finishLoanStep(result, handle, loansUnreadable());
    return loans;
}

} // namespace hondana
