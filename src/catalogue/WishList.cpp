#include "catalogue/WishList.h"

#include "base/Failure.h"
#include "base/FaultPoint.h"
#include "catalogue/JapaneseOrder.h"
#include "db/Connection.h"
#include "db/OwnTables.h"
#include "db/SqliteStatement.h"
#include "db/TextFolding.h"

#include <algorithm>
#include <numeric>

namespace hondana {

namespace {

QString wishesUnreadable() {
    return QStringLiteral("欲しい本の一覧を読み出せません");
}
QString wishesUnwritable() {
    return QStringLiteral("欲しい本の一覧を保存できません");
}

void finishWishStep(int result, sqlite3 *handle, const QString &context) {
    if (sqlite::Statement::failed(result))
        throw Failure(context + QStringLiteral(": ") + sqlite::lastError(handle));
}

void bindWishText(sqlite3_stmt *statement, int index, const QString &text) {
    // Empty optional fields are stored as NULL, as other programs reading the table expect.
    if (text.isEmpty()) {
        sqlite3_bind_null(statement, index);
        return;
    }
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

// Blanks between words are typed one way in a shop's list and another in the catalogue.
QString wishKey(const QString &text) {
    QString key = folding::folded(text);
    key.removeIf([](QChar c) { return c.isSpace(); });
    return key;
}

class WishTransaction {
public:
    explicit WishTransaction(sqlite3 *handle) : m_handle(handle) {
        sqlite::execute(handle, "BEGIN IMMEDIATE", wishesUnwritable());
    }
    ~WishTransaction() {
        if (!m_committed)
            sqlite3_exec(m_handle, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void commit(const char *step) {
        faultpoint(step);
        sqlite::execute(m_handle, "COMMIT", wishesUnwritable());
        m_committed = true;
    }

private:
    sqlite3 *m_handle;
    bool m_committed = false;
};

Wish checkedWish(const Wish &wish) {
    Wish checked = wish;
    checked.title = wish.title.trimmed();
    checked.author = wish.author.trimmed();
    checked.note = wish.note.trimmed();
    if (checked.title.isEmpty())
        throw Failure(QStringLiteral("題名を入力してください。"));
    if (wish.priority < owntables::WishHighest || wish.priority > owntables::WishLowest)
        throw Failure(QStringLiteral("優先度は %1 から %2 までです。")
                          .arg(owntables::WishHighest)
                          .arg(owntables::WishLowest));
    if (!checked.addedOn.isValid())
        checked.addedOn = QDate::currentDate();
    return checked;
}

} // namespace

WishList::WishList(Connection &connection) : m_connection(connection) {
    connection.ensureOwnTables();
}

void WishList::write(const char *step, const QString &sql, const Wish &wish) {
    const Wish checked = checkedWish(wish);
    sqlite3 *handle = sqlite::handleOf(m_connection.database());
    WishTransaction transaction(handle);
    sqlite::Statement statement(handle, sql.arg(owntables::WishTable), wishesUnwritable());
    sqlite3_stmt *s = statement.get();
    bindWishText(s, 1, checked.title);
    bindWishText(s, 2, checked.author);
    bindWishText(s, 3, checked.isbn.digits());
    bindWishText(s, 4, checked.note);
    sqlite3_bind_int(s, 5, checked.priority);
    bindWishText(s, 6, checked.addedOn.toString(Qt::ISODate));
    sqlite3_bind_int64(s, 7, checked.id);
    finishWishStep(statement.step(), handle, wishesUnwritable());
    if (sqlite3_changes(handle) == 0)
        throw Failure(QStringLiteral("%1: この欲しい本は一覧にもうありません（ほかの画面で削除"
                                     "されたようです）。")
                          .arg(wishesUnwritable()));
    transaction.commit(step);
}

qint64 WishList::add(const Wish &wish) {
    Wish fresh = wish;
    fresh.id = 0;
    write("wishes.add",
          QStringLiteral("INSERT INTO %1 (title, author, isbn, note, priority, added_on) VALUES "
                         "(?1, ?2, ?3, ?4, ?5, ?6)"),
          fresh);
    return sqlite3_last_insert_rowid(sqlite::handleOf(m_connection.database()));
}

void WishList::edit(const Wish &wish) {
    write("wishes.edit",
          QStringLiteral("UPDATE %1 SET title = ?1, author = ?2, isbn = ?3, note = ?4, "
                         "priority = ?5, added_on = ?6 WHERE id = ?7"),
          wish);
}

void WishList::remove(const QList<qint64> &ids) {
    if (ids.isEmpty())
        return;
    sqlite3 *handle = sqlite::handleOf(m_connection.database());
    WishTransaction transaction(handle);
    sqlite::Statement remove(
        handle, QStringLiteral("DELETE FROM %1 WHERE id = ?").arg(owntables::WishTable),
        wishesUnwritable());
    for (const qint64 id : ids) {
        sqlite3_bind_int64(remove.get(), 1, id);
        finishWishStep(remove.step(), handle, wishesUnwritable());
        remove.reset();
    }
    transaction.commit("wishes.remove");
}

QList<Wish> WishList::all() const {
    sqlite3 *handle = sqlite::handleOf(m_connection.database());
    sqlite::Statement query(handle,
                            QStringLiteral("SELECT id, title, author, isbn, note, priority, "
                                           "added_on FROM %1 ORDER BY id")
                                .arg(owntables::WishTable),
                            wishesUnreadable());
    QList<Wish> wishes;
    int result;
    while ((result = query.step()) == SQLITE_ROW) {
        sqlite3_stmt *s = query.get();
        wishes.append({sqlite3_column_int64(s, 0), sqlite::columnText(s, 1),
                       sqlite::columnText(s, 2), Isbn::tryFromText(sqlite::columnText(s, 3)),
                       sqlite::columnText(s, 4), sqlite3_column_int(s, 5),
                       QDate::fromString(sqlite::columnText(s, 6), Qt::ISODate)});
    }
    finishWishStep(result, handle, wishesUnreadable());
    const JapaneseOrder order;
    QList<QCollatorSortKey> keys;
    keys.reserve(wishes.size());
    for (const Wish &wish : std::as_const(wishes))
        keys.append(order.sortKey(wish.title, QString()));
    QList<int> positions(wishes.size());
    std::iota(positions.begin(), positions.end(), 0);
    std::stable_sort(positions.begin(), positions.end(), [&](int a, int b) {
        if (wishes[a].priority != wishes[b].priority)
            return wishes[a].priority < wishes[b].priority;
        return keys[a].compare(keys[b]) < 0;
    });
    QList<Wish> sorted;
    sorted.reserve(wishes.size());
    for (const int position : std::as_const(positions))
        sorted.append(wishes[position]);
    return sorted;
}

QList<Wish> WishList::fulfilledBy(const QList<qint64> &bookRowIds) const {
    QList<Wish> fulfilled;
    if (bookRowIds.isEmpty())
        return fulfilled;
    const QList<Wish> wishes = all();
    if (wishes.isEmpty())
        return fulfilled;
    sqlite3 *handle = sqlite::handleOf(m_connection.database());
    sqlite::Statement query(
        handle,
        QStringLiteral("SELECT BOOK.[題名], (SELECT [著者名] FROM CHOSHA WHERE CHOSHA.[著者NO] = "
                       "BOOK.[著者NO] ORDER BY CHOSHA.rowid LIMIT 1), (SELECT isbn FROM %1 WHERE "
                       "book_rowid = BOOK.rowid) FROM BOOK WHERE rowid = ?")
            .arg(owntables::BookIsbnTable),
        wishesUnreadable());
    QList<bool> taken(wishes.size(), false);
    for (const qint64 rowId : bookRowIds) {
        sqlite3_bind_int64(query.get(), 1, rowId);
        const int result = query.step();
        finishWishStep(result, handle, wishesUnreadable());
        if (result == SQLITE_ROW) {
            const OwnedBook book{sqlite::columnText(query.get(), 0),
                                 sqlite::columnText(query.get(), 1),
                                 Isbn::tryFromText(sqlite::columnText(query.get(), 2))};
            for (qsizetype i = 0; i < wishes.size(); ++i) {
                if (!taken[i] && fulfils(book, wishes[i])) {
                    taken[i] = true;
                    fulfilled.append(wishes[i]);
                }
            }
        }
        query.reset();
    }
    return fulfilled;
}

bool WishList::fulfils(const OwnedBook &book, const Wish &wish) {
    if (!book.isbn.isEmpty() && book.isbn == wish.isbn)
        return true;
    if (wishKey(book.title) != wishKey(wish.title) || wishKey(wish.title).isEmpty())
        return false;
    return wish.author.trimmed().isEmpty() || wishKey(book.author) == wishKey(wish.author);
}

} // namespace hondana
