#include "db/DatabaseFile.h"

#include "base/Failure.h"
#include "db/Connection.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace hondana {

void createDatabaseFile(const QString &path, const QStringList &statements, const QString &insert,
                        const QList<QVariantList> &rows) {
    if (QFileInfo::exists(path))
        throw Failure(QStringLiteral("ファイル「%1」はすでにあります。").arg(path));
    {
        // An empty file is what SQLite takes as a new database; openDatabaseFile never creates.
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            throw Failure(
                QStringLiteral("ファイル「%1」を作れません: %2").arg(path, file.errorString()));
    }
    const QString name = openDatabaseFile(path, QStringLiteral("create"));
    QString problem;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        QSqlQuery query(db);
        db.transaction();
        for (const QString &statement : statements) {
            if (!query.exec(statement)) {
                problem = statement + QStringLiteral(": ") + query.lastError().text();
                break;
            }
        }
        if (problem.isEmpty() && !insert.isEmpty()) {
            query.prepare(insert);
            for (const QVariantList &row : rows) {
                for (int i = 0; i < row.size(); ++i)
                    query.bindValue(i, row.at(i));
                if (!query.exec()) {
                    problem = insert + QStringLiteral(": ") + query.lastError().text();
                    break;
                }
            }
        }
        if (problem.isEmpty() && !db.commit())
            problem = db.lastError().text();
        if (!problem.isEmpty())
            db.rollback();
    }
    closeDatabase(name);
    if (!problem.isEmpty()) {
        QFile::remove(path);
        throw Failure(QStringLiteral("データベース「%1」を作れません: %2").arg(path, problem));
    }
}

} // namespace hondana
