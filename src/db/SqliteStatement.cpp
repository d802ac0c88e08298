#include "db/SqliteStatement.h"

#include "base/Failure.h"
#include "db/Connection.h"

#include <QFile>
#include <QSqlDriver>
#include <QVariant>

namespace hondana::sqlite {

sqlite3 *handleOf(const QSqlDatabase &db) {
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0 || !handle.constData())
        throw Failure(QStringLiteral("データベースに接続していません。"));
    sqlite3 *result = *static_cast<sqlite3 *const *>(handle.constData());
    if (!result)
        throw Failure(QStringLiteral("データベースに接続していません。"));
    return result;
}

Version versionOf(sqlite3 *handle) {
    Version version;
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(handle, "PRAGMA data_version", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        version.byOthers = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    version.byThis = sqlite3_total_changes64(handle);
    return version;
}

QString lastError(sqlite3 *handle) {
    return describeSqlError(QString::fromUtf8(sqlite3_errmsg(handle)));
}

void execute(sqlite3 *handle, const char *sql, const QString &context) {
    if (sqlite3_exec(handle, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw Failure(context + QStringLiteral(": ") + lastError(handle));
}

void copyDatabase(sqlite3 *source, const QString &target, const Progress &progress) {
    // Pages copied per step: small enough to report progress often.
    constexpr int PagesPerStep = 512;
    sqlite3 *copy = nullptr;
    const QByteArray native = QFile::encodeName(target);
    const int result = sqlite3_open_v2(native.constData(), &copy,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    QString problem;
    if (result == SQLITE_OK) {
        sqlite3_exec(copy, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF", nullptr, nullptr,
                     nullptr);
        sqlite3_backup *backup = sqlite3_backup_init(copy, "main", source, "main");
        int stepped = SQLITE_ERROR;
        if (backup) {
            do {
                stepped = sqlite3_backup_step(backup, PagesPerStep);
                const int total = sqlite3_backup_pagecount(backup);
                progress.report(total - sqlite3_backup_remaining(backup), total);
            } while (stepped == SQLITE_OK);
            sqlite3_backup_finish(backup);
        }
        // Only a copy that ran to its end counts; a busy source stops it too.
        if (stepped != SQLITE_DONE)
            problem = sqlite3_errcode(copy) != SQLITE_OK
                          ? lastError(copy)
                          : describeSqlError(QString::fromUtf8(sqlite3_errstr(stepped)));
    } else {
        problem = describeSqlError(QString::fromUtf8(sqlite3_errmsg(copy)));
    }
    sqlite3_close(copy);
    if (!problem.isEmpty())
        throw Failure(problem);
}

Statement::Statement(sqlite3 *handle, const QString &sql, const QString &context) {
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(handle, utf8.constData(), int(utf8.size()), &m_statement, nullptr) !=
        SQLITE_OK)
        throw Failure(context + QStringLiteral(": ") + lastError(handle));
}

Statement::~Statement() {
    sqlite3_finalize(m_statement);
}

// About every millisecond of SQLite's work: often enough to repaint, rarely enough not to count.
constexpr int InstructionsPerTick = 20000;

ProgressHandler::ProgressHandler(sqlite3 *handle, const Progress &progress)
    : m_handle(handle), m_progress(progress) {
    sqlite3_progress_handler(m_handle, InstructionsPerTick, &ProgressHandler::tick, this);
}

ProgressHandler::~ProgressHandler() {
    sqlite3_progress_handler(m_handle, 0, nullptr, nullptr);
}

int ProgressHandler::tick(void *self) {
    auto *handler = static_cast<ProgressHandler *>(self);
    handler->m_progress.report(++handler->m_ticks, 0);
    return 0; // never interrupts
}

} // namespace hondana::sqlite
