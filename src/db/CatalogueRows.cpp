#include "db/CatalogueRows.h"

#include "base/Failure.h"
#include "db/Schema.h"
#include "db/SqliteStatement.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace hondana {

namespace {

// The file's identity: a restore that puts another file in its place changes it.
qint64 inodeOf(const QString &path) {
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? qint64(status.st_ino) : -1;
}

// The rows of one file at a time, with a connection of their own that only reads: whatever
// another connection commits changes that connection's version, which tells the rows are old.
class Cache {
public:
    ~Cache() { closeReader(); }

    std::shared_ptr<const CatalogueRows> rowsOf(const QString &path) {
        const qint64 inode = inodeOf(path);
        if (m_rows && path == m_path && inode == m_inode &&
            sqlite::versionOf(m_reader) == m_version)
            return m_rows;
        // Dropped first, so the old rows and the new are not held at once.
        m_rows.reset();
        if (path != m_path || inode != m_inode)
            openReader(path, inode);
        m_version = sqlite::versionOf(m_reader);
        auto rows = std::make_shared<CatalogueRows>();
        using Part = CatalogueRows::Part;
        rows->parts[Part::Books] = read(Part::Books, QStringLiteral("著者NO, 題名, SEQNO"));
        for (int part = Part::Authors; part < Part::PartCount; ++part)
            rows->parts[part] = read(Part(part), QStringLiteral("rowid"));
        m_rows = std::move(rows);
        return m_rows;
    }

private:
    void openReader(const QString &path, qint64 inode) {
        closeReader();
        const QByteArray name = QFile::encodeName(path);
        if (sqlite3_open_v2(name.constData(), &m_reader, SQLITE_OPEN_READONLY, nullptr) !=
            SQLITE_OK) {
            const QString problem = sqlite::lastError(m_reader);
            closeReader();
            throw Failure(QStringLiteral("データベースファイル「%1」を開けません: %2")
                              .arg(QFileInfo(path).fileName(), problem));
        }
        sqlite3_busy_timeout(m_reader, 5000);
        m_path = path;
        m_inode = inode;
    }

    void closeReader() {
        sqlite3_close(m_reader);
        m_reader = nullptr;
        m_path.clear();
    }

    CatalogueRows::Table read(CatalogueRows::Part part, const QString &order) {
        const QString table = CatalogueRows::tableOf(part);
        CatalogueRows::Table read;
        auto rows = std::make_shared<RecordStorage>();
        const SourcePlan plan{QStringLiteral("SELECT rowid, * FROM %1 ORDER BY %2")
                                  .arg(schema::identifier(table), order),
                              table,
                              {}};
        loadRecords(m_reader, plan, QStringLiteral("「%1」を読めません").arg(table), read.fields,
                    *rows);
        read.rows = std::move(rows);
        return read;
    }

    QString m_path;
    qint64 m_inode = -1;
    sqlite3 *m_reader = nullptr;
    sqlite::Version m_version;
    std::shared_ptr<const CatalogueRows> m_rows;
};

} // namespace

QString CatalogueRows::tableOf(Part part) {
    static const QString tables[PartCount] = {QStringLiteral("BOOK"), QStringLiteral("CHOSHA"),
                                              QStringLiteral("HAKKOU"), QStringLiteral("BUNYA"),
                                              QStringLiteral("SAIZU")};
    return tables[part];
}

QString CatalogueRows::numberOf(Part part) {
    static const QString numbers[PartCount] = {QStringLiteral("SEQNO"), QStringLiteral("著者NO"),
                                               QStringLiteral("発行所NO"), QStringLiteral("分野NO"),
                                               QStringLiteral("ｻｲｽﾞNO")};
    return numbers[part];
}

std::shared_ptr<const CatalogueRows> CatalogueRows::of(const QString &path) {
    static Cache cache;
    return cache.rowsOf(path);
}

} // namespace hondana
