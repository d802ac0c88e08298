#include "catalogue/StoredReadings.h"

#include "base/Failure.h"
#include "catalogue/ReadingText.h"
#include "db/Connection.h"
#include "db/OwnTables.h"
#include "db/SqliteStatement.h"

namespace hondana {

namespace {

using Origin = StoredReadings::Origin;

struct MasterList {
    QString table;
    QString nameColumn;
};

MasterList masterList(StoredReadings::Master master) {
    if (master == StoredReadings::Master::Author)
        return {QStringLiteral("CHOSHA"), QStringLiteral("[著者名]")};
    return {QStringLiteral("HAKKOU"), QStringLiteral("[発行所]")};
}

QString originText(Origin origin) {
    return origin == Origin::User ? owntables::OriginUser : owntables::OriginSuggested;
}

StoredReadings::Reading readingAt(sqlite3_stmt *statement, int column) {
    return {sqlite::columnText(statement, column),
            sqlite::columnText(statement, column + 1) == owntables::OriginUser ? Origin::User
                                                                               : Origin::Suggested};
}

void bindText(sqlite3_stmt *statement, int index, const QString &value) {
    const QByteArray utf8 = value.toUtf8();
    sqlite3_bind_text(statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

// Where a reading of each kind is kept, and the fixed table whose row it belongs to.
struct Target {
    QString readings;  // the table of ours
    QString owner;     // the fixed table
    QString ownerName; // the owner's column that is read
    bool isTitle = false;

    static Target title() {
        return {owntables::TitleReadingTable, QStringLiteral("BOOK"), QStringLiteral("[題名]"),
                true};
    }
    static Target name(StoredReadings::Master master) {
        const MasterList list = masterList(master);
        return {owntables::NameReadingTable, list.table, list.nameColumn, false};
    }
    QString rowIdColumn() const {
        return isTitle ? QStringLiteral("book_rowid") : QStringLiteral("master_rowid");
    }
    // The condition on our table that finds the reading of the owner row `rowId`.
    QString key(const QString &rowId) const {
        return isTitle ? QStringLiteral("book_rowid = %1").arg(rowId)
                       : QStringLiteral("master = '%1' AND master_rowid = %2").arg(owner, rowId);
    }
    QString insertColumns() const {
        return isTitle ? QStringLiteral("book_rowid") : QStringLiteral("master, master_rowid");
    }
    QString insertValues(const QString &rowId) const {
        return isTitle ? rowId : QStringLiteral("'%1', %2").arg(owner, rowId);
    }
    QString filter() const {
        return isTitle ? QString() : QStringLiteral(" WHERE master = '%1'").arg(owner);
    }
};

// A savepoint: on its own a transaction, inside the caller's one a part of it.
class WriteScope {
public:
    WriteScope(sqlite3 *handle, const QString &context) : m_handle(handle) {
        sqlite::execute(handle, "SAVEPOINT readings", context);
    }
    ~WriteScope() {
        if (!m_done)
            sqlite3_exec(m_handle, "ROLLBACK TO readings; RELEASE readings", nullptr, nullptr,
                         nullptr);
    }
    void commit(const QString &context) {
        sqlite::execute(m_handle, "RELEASE readings", context);
        m_done = true;
    }

private:
    sqlite3 *m_handle;
    bool m_done = false;
};

QString cannotRead() {
    return QStringLiteral("読みを読み出せません");
}
QString cannotWrite() {
    return QStringLiteral("読みを保存できません");
}

sqlite3 *handleOf(Connection &connection) {
    return sqlite::handleOf(connection.database());
}

void stepOrThrow(sqlite::Statement &statement, sqlite3 *handle, const QString &context) {
    if (sqlite::Statement::failed(statement.step()))
        throw Failure(context + QStringLiteral(": ") + sqlite::lastError(handle));
}

bool ownerExists(sqlite3 *handle, const Target &target, qint64 rowId) {
    sqlite::Statement query(handle,
                            QStringLiteral("SELECT 1 FROM %1 WHERE rowid = ?").arg(target.owner),
                            cannotWrite());
    sqlite3_bind_int64(query.get(), 1, rowId);
    return query.step() == SQLITE_ROW;
}

std::optional<StoredReadings::Reading> readOne(sqlite3 *handle, const Target &target,
                                               qint64 rowId) {
    sqlite::Statement query(handle,
                            QStringLiteral("SELECT reading, origin FROM %1 WHERE %2")
                                .arg(target.readings, target.key(QStringLiteral("?1"))),
                            cannotRead());
    sqlite3_bind_int64(query.get(), 1, rowId);
    if (query.step() != SQLITE_ROW)
        return std::nullopt;
    return readingAt(query.get(), 0);
}

void writeOne(sqlite3 *handle, const Target &target, qint64 rowId, const QString &reading,
              Origin origin) {
    const QString trimmed = reading.trimmed();
    if (!trimmed.isEmpty() && !readings::isValidReading(trimmed))
        throw Failure(StoredReadings::invalidReadingMessage(trimmed));
    WriteScope scope(handle, cannotWrite());
    if (trimmed.isEmpty()) {
        sqlite::Statement remove(handle,
                                 QStringLiteral("DELETE FROM %1 WHERE %2")
                                     .arg(target.readings, target.key(QStringLiteral("?2"))),
                                 cannotWrite());
        sqlite3_bind_int64(remove.get(), 2, rowId);
        stepOrThrow(remove, handle, cannotWrite());
    } else {
        if (!ownerExists(handle, target, rowId))
            throw Failure(QStringLiteral("%1: この行は「%2」にもうありません（ほかの画面で削除"
                                         "されたようです）。")
                              .arg(cannotWrite(), target.owner));
        sqlite::Statement upsert(
            handle,
            QStringLiteral("INSERT OR REPLACE INTO %1 (%2, reading, origin) VALUES (%3, ?1, ?3)")
                .arg(target.readings, target.insertColumns(),
                     target.insertValues(QStringLiteral("?2"))),
            cannotWrite());
        bindText(upsert.get(), 1, trimmed);
        sqlite3_bind_int64(upsert.get(), 2, rowId);
        bindText(upsert.get(), 3, originText(origin));
        stepOrThrow(upsert, handle, cannotWrite());
    }
    scope.commit(cannotWrite());
}

QHash<qint64, StoredReadings::Reading> readAll(sqlite3 *handle, const Target &target) {
    sqlite::Statement query(handle,
                            QStringLiteral("SELECT %1, reading, origin FROM %2%3")
                                .arg(target.rowIdColumn(), target.readings, target.filter()),
                            cannotRead());
    QHash<qint64, StoredReadings::Reading> all;
    int result;
    while ((result = query.step()) == SQLITE_ROW)
        all.insert(sqlite3_column_int64(query.get(), 0), readingAt(query.get(), 1));
    if (sqlite::Statement::failed(result))
        throw Failure(cannotRead() + QStringLiteral(": ") + sqlite::lastError(handle));
    return all;
}

QList<StoredReadings::Unread> readUnread(sqlite3 *handle, const Target &target) {
    sqlite::Statement query(
        handle,
        QStringLiteral("SELECT o.rowid, o.%1 FROM %2 o WHERE trim(ifnull(o.%1, '')) <> '' AND "
                       "NOT EXISTS (SELECT 1 FROM %3 WHERE %4) ORDER BY o.rowid")
            .arg(target.ownerName, target.owner, target.readings,
                 target.key(QStringLiteral("o.rowid"))),
        cannotRead());
    QList<StoredReadings::Unread> unread;
    int result;
    while ((result = query.step()) == SQLITE_ROW)
        unread.append({sqlite3_column_int64(query.get(), 0), sqlite::columnText(query.get(), 1)});
    if (sqlite::Statement::failed(result))
        throw Failure(cannotRead() + QStringLiteral(": ") + sqlite::lastError(handle));
    return unread;
}

int storeMany(sqlite3 *handle, const Target &target,
              const QList<StoredReadings::Suggestion> &suggestions, Origin origin) {
    WriteScope scope(handle, cannotWrite());
    // The owner must still be there, and a user's reading stays unless a user's replaces it.
    sqlite::Statement upsert(
        handle,
        QStringLiteral("INSERT INTO %1 (%2, reading, origin) SELECT %3, ?1, '%4' WHERE EXISTS "
                       "(SELECT 1 FROM %5 WHERE rowid = ?2) ON CONFLICT DO UPDATE SET reading = "
                       "excluded.reading, origin = excluded.origin%6")
            .arg(target.readings, target.insertColumns(), target.insertValues(QStringLiteral("?2")),
                 originText(origin), target.owner,
                 origin == Origin::User
                     ? QString()
                     : QStringLiteral(" WHERE origin = '%1'").arg(owntables::OriginSuggested)),
        cannotWrite());
    int stored = 0;
    for (const StoredReadings::Suggestion &suggestion : suggestions) {
        const QString reading = suggestion.reading.trimmed();
        if (!readings::isValidReading(reading))
            continue;
        bindText(upsert.get(), 1, reading);
        sqlite3_bind_int64(upsert.get(), 2, suggestion.rowId);
        stepOrThrow(upsert, handle, cannotWrite());
        stored += sqlite3_changes(handle);
        upsert.reset();
    }
    scope.commit(cannotWrite());
    return stored;
}

} // namespace

StoredReadings::StoredReadings(Connection &connection) : m_connection(connection) {
    connection.ensureOwnTables();
}

std::optional<StoredReadings::Reading> StoredReadings::title(qint64 bookRowId) const {
    return readOne(handleOf(m_connection), Target::title(), bookRowId);
}

void StoredReadings::setTitle(qint64 bookRowId, const QString &reading, Origin origin) {
    writeOne(handleOf(m_connection), Target::title(), bookRowId, reading, origin);
}

std::optional<StoredReadings::Reading> StoredReadings::name(Master master, qint64 rowId) const {
    return readOne(handleOf(m_connection), Target::name(master), rowId);
}

void StoredReadings::setName(Master master, qint64 rowId, const QString &reading, Origin origin) {
    writeOne(handleOf(m_connection), Target::name(master), rowId, reading, origin);
}

QHash<qint64, StoredReadings::Reading> StoredReadings::titles() const {
    return readAll(handleOf(m_connection), Target::title());
}

QHash<qint64, StoredReadings::Reading> StoredReadings::names(Master master) const {
    return readAll(handleOf(m_connection), Target::name(master));
}

QList<StoredReadings::Unread> StoredReadings::titlesWithoutReading() const {
    return readUnread(handleOf(m_connection), Target::title());
}

QList<StoredReadings::Unread> StoredReadings::namesWithoutReading(Master master) const {
    return readUnread(handleOf(m_connection), Target::name(master));
}

int StoredReadings::suggestTitles(const QList<Suggestion> &suggestions) {
    return storeTitles(suggestions, Origin::Suggested);
}

int StoredReadings::suggestNames(Master master, const QList<Suggestion> &suggestions) {
    return storeNames(master, suggestions, Origin::Suggested);
}

int StoredReadings::storeTitles(const QList<Suggestion> &readings, Origin origin) {
    return storeMany(handleOf(m_connection), Target::title(), readings, origin);
}

int StoredReadings::storeNames(Master master, const QList<Suggestion> &readings, Origin origin) {
    return storeMany(handleOf(m_connection), Target::name(master), readings, origin);
}

QString StoredReadings::invalidReadingMessage(const QString &reading) {
    return QStringLiteral("読み「%1」は保存できません。読みにはカタカナ（ひらがな）、長音符"
                          "「ー」と空白だけを入力してください。")
        .arg(reading);
}

} // namespace hondana
