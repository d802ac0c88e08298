#include "Fixtures.h"

#include "db/Connection.h"
#include "db/DatabaseFile.h"
#include "db/Schema.h"
#include "support/DataFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSqlQuery>
#include <QtTest>

namespace hondana::test {

void writeVersionDatabase(const QString &version, const QString &fileName) {
    QStringList statements{QStringLiteral("CREATE TABLE VER (VER TEXT) STRICT")};
    if (version == NullVersion)
        statements << QStringLiteral("INSERT INTO VER (VER) VALUES (NULL)");
    else if (version != NoRow)
        statements = schema::versionStatements(version);
    createDatabaseFile(QDir::current().filePath(fileName), statements);
}

void writeCatalogue(const QString &fileName, bool accepted) {
    const QString path = QDir::current().filePath(fileName);
    QFile::remove(path);
    if (!QFile::copy(QDir(DataFolder::shippedDataDir()).filePath(QStringLiteral("TOSHOINI.MDB")),
                     path))
        qFatal("cannot copy the starting catalogue");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    if (!accepted)
        return;
    const QString name = openDatabaseFile(path, QStringLiteral("fixture"));
    {
        QSqlQuery query(QSqlDatabase::database(name, false));
        if (!query.exec(QStringLiteral("INSERT INTO DOUI (ID) VALUES (7)")))
            qFatal("cannot record the acceptance");
    }
    closeDatabase(name);
}

int rowCount(const QString &fileName, const QString &table) {
    const QString name = openDatabaseFile(QDir::current().filePath(fileName), "count");
    int count = -1;
    {
        QSqlQuery query(QSqlDatabase::database(name, false));
        if (query.exec(QStringLiteral("SELECT count(*) FROM %1").arg(table)) && query.next())
            count = query.value(0).toInt();
    }
    closeDatabase(name);
    return count;
}

QMap<QString, QByteArray> folderSnapshot() {
    QMap<QString, QByteArray> snapshot;
    const QDir base = QDir::current();
    QDirIterator it(base.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        snapshot.insert(
            base.relativeFilePath(it.filePath()),
            QCryptographicHash::hash(fileBytes(it.filePath()), QCryptographicHash::Sha256));
    }
    return snapshot;
}

QByteArray fileBytes(const QString &fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace hondana::test
