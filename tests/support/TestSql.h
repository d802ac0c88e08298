#pragma once

// The tests' one way to look into a database file or an open connection: run statements, read
// one value or whole rows. Every helper stops the test with the engine's words on failure.

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

namespace hondana::test {

using Rows = QList<QVariantList>;

// Runs each statement; a statement that fails ends the test run with the engine's message.
void exec(const QSqlDatabase &db, const QString &sql);
// The first column of the first row; an invalid QVariant when there is no row.
QVariant value(const QSqlDatabase &db, const QString &sql);
// Every row of the result, each as its list of column values.
Rows rows(const QSqlDatabase &db, const QString &sql);

// A database file opened for one test and closed when the object goes.
class SqlFile {
public:
    explicit SqlFile(const QString &path);
    ~SqlFile();
    SqlFile(const SqlFile &) = delete;
    SqlFile &operator=(const SqlFile &) = delete;

    QSqlDatabase database() const;
    void exec(const QString &sql) const { test::exec(database(), sql); }
    QVariant value(const QString &sql) const { return test::value(database(), sql); }
    Rows rows(const QString &sql) const { return test::rows(database(), sql); }

private:
    QString m_name;
};

} // namespace hondana::test
