#include "db/Connection.h"

#include "base/Failure.h"
#include "base/FileNames.h"
#include "db/ConnectionString.h"
#include "db/OwnTables.h"
#include "db/SqliteLibrary.h"
#include "db/SqliteStatement.h"

#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <atomic>

namespace hondana {

namespace {

QSet<Connection *> &registry() {
    static QSet<Connection *> connections;
    return connections;
}

// Work off the window's thread (filling readings) opens connections of its own.
QMutex &registryLock() {
    static QMutex lock;
    return lock;
}

QString uniqueName(const QString &purpose) {
    static std::atomic<int> counter{0};
    return QStringLiteral("hondana-%1-%2").arg(purpose).arg(++counter);
}

QString canonical(const QString &path) {
    const QFileInfo info(path);
    const QString c = info.canonicalFilePath();
    return c.isEmpty() ? info.absoluteFilePath() : c;
}

// Opens `path` without ever creating it: SQLite's "mode=rw" URI refuses a missing file.
QSqlDatabase openSqlite(const QString &name, const QString &path) {
    if (!QFileInfo(path).isFile())
        throw Failure(QStringLiteral("データベースファイル「%1」がありません。")
                          .arg(QFileInfo(path).fileName()));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
    db.setDatabaseName(
        QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded) +
        QStringLiteral("?mode=rw"));
    QString problem;
    if (!db.open()) {
        problem = db.lastError().text();
    } else {
        // SQLite opens anything lazily; reading the schema is what proves it is a database.
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_schema")))
            problem = probe.lastError().text();
    }
    const auto discard = [&] {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    };
    if (!problem.isEmpty()) {
        discard();
        throw Failure(QStringLiteral("データベースファイル「%1」を開けません: %2")
                          .arg(QFileInfo(path).fileName(), describeSqlError(problem)));
    }
    try {
        sqlite::requireSameLibrary(db);
    } catch (const Failure &) {
        discard();
        throw;
    }
    return db;
}

} // namespace

Connection::Connection(const QString &connectionString, const QString &folder)
    : m_connectionString(connectionString), m_folder(folder) {}

Connection::~Connection() {
    close();
}

void Connection::setConnectionString(const QString &connectionString) {
    m_connectionString = connectionString;
}

void Connection::open() {
    if (isOpen())
        return;
    const ConnectionTarget target = parseConnectionString(m_connectionString, m_folder);
    const QString path = files::resolve(target.dataSource, m_folder);
    const QString name = uniqueName(QStringLiteral("connection"));
    QSqlDatabase db = openSqlite(name, path);
    // The engine's own page cache (2 MB) is enough: screens hold their rows in memory, and a
    // read of every book fills a larger cache with pages that are never asked for again.
    m_name = name;
    m_filePath = canonical(path);
    const QMutexLocker locked(&registryLock());
    registry().insert(this);
}

void Connection::copyTo(const QString &path) const {
    sqlite::copyDatabase(sqlite::handleOf(database()), path);
}

void Connection::ensureOwnTables() {
    if (m_ownTablesChecked)
        return;
    owntables::ensure(sqlite::handleOf(database()));
    m_ownTablesChecked = true;
}

void Connection::close() {
    m_ownTablesChecked = false;
    if (m_name.isEmpty())
        return;
    {
        const QMutexLocker locked(&registryLock());
        registry().remove(this);
    }
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
    m_name.clear();
    m_filePath.clear();
}

bool Connection::isOpen() const {
    return !m_name.isEmpty();
}

QSqlDatabase Connection::database() const {
    return m_name.isEmpty() ? QSqlDatabase() : QSqlDatabase::database(m_name, false);
}

QString openDatabaseFile(const QString &path, const QString &purpose) {
    const QString name = uniqueName(purpose);
    openSqlite(name, path);
    return name;
}

void closeDatabase(const QString &connectionName) {
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

void closeAllConnectionsTo(const QString &path) {
    const QString target = canonical(path);
    QList<Connection *> open;
    {
        const QMutexLocker locked(&registryLock());
        open = registry().values();
    }
    for (Connection *connection : open) {
        if (connection->filePath() == target)
            connection->close();
    }
}

int openConnectionCount(const QString &path) {
    const QString target = canonical(path);
    int count = 0;
    const QMutexLocker locked(&registryLock());
    for (const Connection *connection : std::as_const(registry())) {
        if (connection->filePath() == target)
            ++count;
    }
    return count;
}

QString describeSqlError(const QString &driverText) {
    struct Known {
        const char *fragment;
        const char *japanese;
    };
    // The first fragment found decides, so the narrower ones stand before the wider.
    static const Known known[] = {
        {"is not a database",
         "データベースファイルではありません（壊れているか別の種類のファイルです）"},
        {"database disk image is malformed", "データベースファイルが壊れています"},
        {"unable to open database file", "ファイルを開けません（場所か権限を確かめてください）"},
        {"database or disk is full", "ディスクがいっぱいです"},
        {"disk I/O error", "ディスクの読み書きに失敗しました"},
        {"readonly database",
         "読み取り専用のため書き込めません（ファイルの権限か、ほかのプログラムが置き換えて"
         "いないかを確かめてください）"},
        {"database is locked", "ほかのプログラムがデータベースを使用中です"},
        {"table is locked", "ほかの処理が表を使用中です"},
        {"no such table", "必要な表がありません（データベースの形式が違います）"},
        {"no such column", "必要な列がありません（データベースの形式が違います）"},
        {"has no column named", "必要な列がありません（データベースの形式が違います）"},
        {"CHECK constraint failed", "値が列の範囲外です"},
        {"UNIQUE constraint failed", "同じ値がすでにあります（重複できない列です）"},
        {"NOT NULL constraint failed", "空にできない列が空です"},
        {"constraint failed", "値がデータベースの制約に合いません"},
        {"cannot store", "値の種類が列に合いません"},
        {"string or blob too big", "値が大きすぎます"},
        {"out of memory", "メモリが足りません"},
        {"interrupted", "処理が中断されました"},
    };
    // "no such table: TQ3", "UNIQUE constraint failed: index 'CHOSHA_NO'": the name that
    // follows the engine's words, without the driver's own words after it.
    static const QRegularExpression named(QStringLiteral("^:\\s*(index '[^']*'|\\S+)"));
    for (const Known &k : known) {
        const qsizetype at = driverText.indexOf(QLatin1String(k.fragment), 0, Qt::CaseInsensitive);
        if (at < 0)
            continue;
        const QRegularExpressionMatch name =
            named.match(driverText.mid(at + qsizetype(qstrlen(k.fragment))));
        return QString::fromUtf8(k.japanese) +
               (name.hasMatch() ? QStringLiteral(": ") + name.captured(1) : QString());
    }
    // What no entry above foresaw is said in the engine's words, after a Japanese lead.
    return QStringLiteral("データベースの処理に失敗しました: ") + driverText.trimmed();
}

} // namespace hondana
