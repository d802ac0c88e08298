#include "base/FileNames.h"
#include "db/BookQueries.h"
#include "db/Connection.h"
#include "db/RecordLoader.h"
#include "db/RecordStorage.h"
#include "db/SqliteStatement.h"
#include "support/DataFolder.h"
#include "support/DataRows.h"
#include "support/TestSql.h"

#include <QDate>
#include <QtTest>

using namespace hondana;

namespace {

// Masters with a number standing twice, an entry without a number and numbers no book uses;
// books with numbers no master holds, nulls in every key, titles and numbers that tie, stamps
// with blanks, and characters whose UTF-16 order differs from their code points'.
const char *const StressRows[] = {
    "INSERT INTO CHOSHA (著者NO, 著者名) VALUES (1, '漱石'), (2, '鴎外'), (2, '鴎外二'), "
    "(NULL, '無番'), (3, NULL), (7, '未使用')",
    "INSERT INTO HAKKOU (発行所NO, 発行所) VALUES (1, '岩波'), (1, '岩波二'), (2, '新潮')",
    "INSERT INTO BUNYA (分野NO, 分野名) VALUES (1, '小説'), (2, '詩'), (2, '詩二'), (3, '史')",
    "INSERT INTO SAIZU (ｻｲｽﾞNO, ｻｲｽﾞ名) VALUES (1, '文庫'), (1, '文庫二')",
    "INSERT INTO BOOK (SEQNO, 題名, 著者NO, 発行所NO, 分野NO, ｻｲｽﾞNO, 読書ｽﾀﾝﾌﾟ, 購入日, 内容) "
    "VALUES (1, 'こころ', 1, 1, 1, 1, '未', '2024-01-02', 'a'), "
    "(1, 'こころ', 1, 1, 1, 1, '未 ', '2024-01-02', 'b'), "
    "(2, 'こころ', 2, 2, 2, NULL, NULL, NULL, 'c'), "
    "(NULL, 'こころ', 2, 1, 2, 9, '', '2023-12-31', 'd'), "
    "(3, NULL, 1, 1, 1, 1, '済', '2024-01-02', 'e'), "
    "(4, '舞姫', 99, 1, 3, 1, ' 未', '2024-01-02', 'f'), "
    "(5, '舞姫', NULL, NULL, NULL, NULL, '*', '2022-05-05', 'g'), "
    "(6, '𠮷野', 3, 2, 1, 1, '未', '2024-01-02', 'h'), "
    "(7, 'Ｚ野', 1, 2, 1, 1, '未', '2024-01-02', 'i'), "
    "(8, 'abc', 2, 2, 2, 1, NULL, '2024-01-02', 'j'), "
    "(9, 'ABC', 1, 99, 1, 1, NULL, '2024-01-01', 'k'), "
    "(-1, '', 1, 2, 3, 1, '未', '2024-01-02', 'l')",
};

// A value as text the two readings share: dates as the file stores them, null apart.
QString shown(const QVariant &value) {
    if (value.isNull())
        return "(null)";
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().toString(Qt::ISODate);
    return value.toString();
}

QString shown(sqlite3_stmt *statement, int column) {
    if (sqlite3_column_type(statement, column) == SQLITE_NULL)
        return "(null)";
    return QString::fromUtf8(
        reinterpret_cast<const char *>(sqlite3_column_text(statement, column)));
}

// `rows` with each run of rows equal in the `order` columns sorted.
QStringList tiesSorted(QStringList rows, const QList<int> &order) {
    const auto key = [&](const QString &row) {
        const QStringList values = row.split(u'|');
        QStringList keys;
        for (int column : order)
            keys << values.at(column);
        return keys;
    };
    for (qsizetype start = 0; start < rows.size();) {
        qsizetype end = start + 1;
        while (end < rows.size() && key(rows.at(end)) == key(rows.at(start)))
            ++end;
        std::sort(rows.begin() + start, rows.begin() + end);
        start = end;
    }
    return rows;
}

} // namespace

class TestBookQueries : public QObject {
    Q_OBJECT
private Q_SLOTS:

    // Each stored query and grouped list's child command gives, from memory, the rows SQLite
    // gives running its SQL as written: the same columns, rows, order and nulls. Rows that the
    // ORDER BY columns do not tell apart (`order`, as result columns) the SQL leaves in any
    // order; among those the engine's plan decides, so they are compared as a set. A view the
    // file defines otherwise (`view`) than the catalogue does is left to the engine.
    void sameAsTheEngine_data() {
        test::columns<QString, QString, QList<int>, QString>({"source", "sql", "order", "view"});
        test::row("TQ1", "TQ1", "SELECT * FROM TQ1", QList<int>{0, 7}, "");
        test::row("TQ2", "TQ2", "SELECT * FROM TQ2", QList<int>{1, 2, 4}, "");
        test::row("TQ3", "TQ3", "SELECT * FROM TQ3", QList<int>{12, 4, 10}, "");
        test::row("by category", childcommands::ByCategory, childcommands::ByCategory,
                  QList<int>{1, 3}, "");
        test::row("by author", childcommands::ByAuthor, childcommands::ByAuthor, QList<int>{1, 3},
                  "");
        test::row("by publisher", childcommands::ByPublisher, childcommands::ByPublisher,
                  QList<int>{1}, "");
        test::row("foreign view", "TQ1", "", QList<int>{},
                  "DROP VIEW TQ1; CREATE VIEW TQ1 AS SELECT 題名 FROM BOOK ORDER BY 題名 DESC");
    }
    void sameAsTheEngine() {
        const QList<int> order = test::cell<QList<int>>("order");
        test::DataFolder folder;
        folder.copyShipped(files::CatalogueTemplate, files::Catalogue);
        Connection connection("FILE NAME=Karobu.udl");
        connection.open();
        for (const char *rows : StressRows)
            test::exec(connection.database(), QString::fromUtf8(rows));
        test::exec(connection.database(), test::text("view"));
        // One row as "a|b|…" of the `count` values `valueAt` gives.
        const auto joined = [](int count, const auto &valueAt) {
            QStringList values;
            for (int column = 0; column < count; ++column)
                values << valueAt(column);
            return values.join(u'|');
        };

        RecordFields fields;
        RecordStorage storage;
        QCOMPARE(answerFromMemory(connection, test::text("source"), fields, storage),
                 test::text("view").isEmpty());
        if (!test::text("view").isEmpty())
            return;
        QStringList fromMemory;
        for (int row = 0; row < storage.rows(); ++row)
            fromMemory << joined(fields.count(),
                                 [&](int c) { return shown(storage.value(row, c)); });

        sqlite::Statement engine(sqlite::handleOf(connection.database()), test::text("sql"),
                                 QString());
        QStringList names;
        for (int column = 0; column < sqlite3_column_count(engine.get()); ++column)
            names << QString::fromUtf8(sqlite3_column_name(engine.get(), column));
        QStringList fromEngine;
        while (engine.step() == SQLITE_ROW)
            fromEngine << joined(names.size(), [&](int c) { return shown(engine.get(), c); });
        QCOMPARE(fields.names, names);
        QCOMPARE(tiesSorted(fromMemory, order), tiesSorted(fromEngine, order));
    }
};

QTEST_GUILESS_MAIN(TestBookQueries)
#include "tst_bookqueries.moc"
