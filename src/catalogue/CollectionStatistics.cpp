#include "catalogue/CollectionStatistics.h"

#include "base/Failure.h"
#include "catalogue/JapaneseOrder.h"
#include "db/Connection.h"
#include "db/Schema.h"
#include "db/SqliteStatement.h"

#include <QMap>

#include <algorithm>
#include <vector>

#include <sqlite3.h>

namespace hondana {

namespace {

QString statisticsUnreadable() {
    return QStringLiteral("統計のために目録を読めません");
}

// Day 0 is what a restore writes for an empty date, so it is no date here either.
QString datedMonth(const char *column) {
    return QStringLiteral("CASE WHEN [%1] IS NULL OR [%1] = '1899-12-30' THEN NULL "
                          "ELSE substr([%1], 1, 7) END")
        .arg(QString::fromUtf8(column));
}

QString statisticsText(sqlite3_stmt *statement, int column) {
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, column)),
                             sqlite3_column_bytes(statement, column));
}

// Runs a grouped statement and hands each result row to `take`.
template <typename Take> void eachStatisticsRow(sqlite3 *handle, const QString &sql, Take take) {
    sqlite::Statement statement(handle, sql, statisticsUnreadable());
    int result;
    while ((result = statement.step()) == SQLITE_ROW)
        take(statement.get());
    if (sqlite::Statement::failed(result))
        throw Failure(statisticsUnreadable() + QStringLiteral(": ") + sqlite::lastError(handle));
}

// Months counted as year * 12 + month - 1, so that a run of them has no holes.
using MonthTally = QMap<int, StatisticsRow>;

// "2024-03" as a month number; nullopt for anything else (a file another program wrote).
std::optional<int> monthNumber(const QString &yearMonth) {
    bool yearOk = false;
    bool monthOk = false;
    const int year = yearMonth.left(4).toInt(&yearOk);
    const int month = yearMonth.mid(5, 2).toInt(&monthOk);
    if (yearMonth.size() != 7 || !yearOk || !monthOk || month < 1 || month > 12)
        return std::nullopt;
    return year * 12 + month - 1;
}

QList<StatisticsRow> monthRun(const MonthTally &tally, std::optional<int> year) {
    if (!year && tally.isEmpty())
        return {};
    const int first = year ? *year * 12 : tally.firstKey();
    const int last = year ? *year * 12 + 11 : tally.lastKey();
    QList<StatisticsRow> run;
    for (int month = first; month <= last; ++month) {
        StatisticsRow row = tally.value(month);
        row.label =
            QStringLiteral("%1/%2").arg(month / 12).arg(month % 12 + 1, 2, 10, QLatin1Char('0'));
        run << row;
    }
    return run;
}

QList<StatisticsRow> yearRun(const MonthTally &tally) {
    QMap<int, StatisticsRow> years;
    for (auto it = tally.cbegin(); it != tally.cend(); ++it) {
        StatisticsRow &year = years[it.key() / 12];
        year.books += it->books;
        year.amount += it->amount;
    }
    QList<StatisticsRow> run;
    if (years.isEmpty())
        return run;
    for (int year = years.firstKey(); year <= years.lastKey(); ++year) {
        StatisticsRow row = years.value(year);
        row.label = QString::number(year);
        run << row;
    }
    return run;
}

// Rows of the same label (two numbers BUNYA lacks, a shop with and without blanks) are one row;
// the largest come first, ties in Japanese order, 「不明」 last.
QList<StatisticsRow> rankedByBooks(const QList<StatisticsRow> &rows) {
    QHash<QString, qsizetype> at;
    QList<StatisticsRow> merged;
    for (const StatisticsRow &row : rows) {
        const QString label =
            row.label.trimmed().isEmpty() ? UnknownStatisticsLabel : row.label.trimmed();
        qsizetype &index = at[label];
        if (index == 0) {
            merged << StatisticsRow{label, 0, 0};
            index = merged.size();
        }
        merged[index - 1].books += row.books;
        merged[index - 1].amount += row.amount;
    }
    const JapaneseOrder order;
    std::vector<std::pair<StatisticsRow, QCollatorSortKey>> keyed;
    keyed.reserve(size_t(merged.size()));
    for (const StatisticsRow &row : std::as_const(merged))
        keyed.emplace_back(row, order.sortKey(row.label, {}));
    std::sort(keyed.begin(), keyed.end(), [](const auto &a, const auto &b) {
        const bool aUnknown = a.first.label == UnknownStatisticsLabel;
        if (aUnknown != (b.first.label == UnknownStatisticsLabel))
            return !aUnknown;
        if (a.first.books != b.first.books)
            return a.first.books > b.first.books;
        return a.second.compare(b.second) < 0;
    });
    merged.clear();
    for (const auto &entry : keyed)
        merged << entry.first;
    return merged;
}

QString purchasedIn(std::optional<int> year) {
    return year ? QStringLiteral("WHERE 購入日 BETWEEN '%1-01-01' AND '%1-12-31'")
                      .arg(*year, 4, 10, QLatin1Char('0'))
                : QString();
}

void readPurchases(sqlite3 *handle, CollectionStatistics &figures, MonthTally &months) {
    eachStatisticsRow(
        handle,
        QStringLiteral("SELECT %1 AS month, count(*), coalesce(sum(価格), 0) FROM BOOK "
                       "GROUP BY month")
            .arg(datedMonth("購入日")),
        [&](sqlite3_stmt *row) {
            const StatisticsRow tally{
                {}, sqlite3_column_int64(row, 1), sqlite3_column_int64(row, 2)};
            const std::optional<int> month = monthNumber(statisticsText(row, 0));
            StatisticsRow &into = month ? months[*month] : figures.boughtUndated;
            into.books += tally.books;
            into.amount += tally.amount;
        });
}

QList<StatisticsRow> readCategories(sqlite3 *handle, std::optional<int> year) {
    QList<StatisticsRow> rows;
    eachStatisticsRow(handle,
                      QStringLiteral("SELECT (SELECT 分野名 FROM BUNYA WHERE BUNYA.分野NO = g.no "
                                     "ORDER BY BUNYA.rowid LIMIT 1), g.books, g.amount FROM "
                                     "(SELECT 分野NO AS no, count(*) AS books, "
                                     "coalesce(sum(価格), 0) AS amount FROM BOOK %1 "
                                     "GROUP BY 分野NO) AS g")
                          .arg(purchasedIn(year)),
                      [&](sqlite3_stmt *row) {
                          rows << StatisticsRow{statisticsText(row, 0),
                                                sqlite3_column_int64(row, 1),
                                                sqlite3_column_int64(row, 2)};
                      });
    return rankedByBooks(rows);
}

QList<StatisticsRow> readShops(sqlite3 *handle, std::optional<int> year) {
    QList<StatisticsRow> rows;
    eachStatisticsRow(handle,
                      QStringLiteral("SELECT rtrim(購入先) AS shop, count(*), "
                                     "coalesce(sum(価格), 0) FROM BOOK %1 GROUP BY shop")
                          .arg(purchasedIn(year)),
                      [&](sqlite3_stmt *row) {
                          rows << StatisticsRow{statisticsText(row, 0),
                                                sqlite3_column_int64(row, 1),
                                                sqlite3_column_int64(row, 2)};
                      });
    return rankedByBooks(rows);
}

// Every book with a finishing date, and the read ones without (counted apart).
void readFinished(sqlite3 *handle, CollectionStatistics &figures, MonthTally &months) {
    const QString month = datedMonth("読書完了日");
    eachStatisticsRow(handle,
                      QStringLiteral("SELECT %1 AS month, count(*) FROM BOOK "
                                     "WHERE %1 IS NOT NULL OR NOT (%2) GROUP BY month")
                          .arg(month, schema::unreadCondition()),
                      [&](sqlite3_stmt *row) {
                          const std::optional<int> at = monthNumber(statisticsText(row, 0));
                          if (at)
                              months[*at].books += sqlite3_column_int64(row, 1);
                          else
                              figures.readUndated += sqlite3_column_int64(row, 1);
                      });
}

QList<StatisticsRow> readUnreadByAge(sqlite3 *handle, const QDate &today) {
    const auto since = [](const QDate &date) {
        return QStringLiteral("'%1'").arg(date.toString(Qt::ISODate));
    };
    QList<StatisticsRow> steps;
    for (const QString &label : unreadAgeLabels())
        steps << StatisticsRow{label, 0, 0};
    eachStatisticsRow(
        handle,
        QStringLiteral("SELECT CASE WHEN 購入日 IS NULL OR 購入日 = '1899-12-30' THEN 5 "
                       "WHEN 購入日 > %1 THEN 0 WHEN 購入日 > %2 THEN 1 WHEN 購入日 > %3 THEN 2 "
                       "WHEN 購入日 > %4 THEN 3 ELSE 4 END AS age, count(*), "
                       "coalesce(sum(価格), 0) FROM BOOK WHERE (%5) GROUP BY age")
            .arg(since(today.addMonths(-1)), since(today.addMonths(-6)), since(today.addYears(-1)),
                 since(today.addYears(-2)), schema::unreadCondition()),
        [&](sqlite3_stmt *row) {
            StatisticsRow &step = steps[qBound(0, sqlite3_column_int(row, 0), 5)];
            step.books = sqlite3_column_int64(row, 1);
            step.amount = sqlite3_column_int64(row, 2);
        });
    return steps;
}

} // namespace

const QList<QString> &unreadAgeLabels() {
    static const QList<QString> labels = {
        QStringLiteral("1か月未満"), QStringLiteral("1〜6か月"), QStringLiteral("6か月〜1年"),
        QStringLiteral("1〜2年"),    QStringLiteral("2年以上"),  QStringLiteral("購入日なし")};
    return labels;
}

CollectionStatistics readCollectionStatistics(Connection &connection, const QDate &today,
                                              std::optional<int> year) {
    sqlite3 *handle = sqlite::handleOf(connection.database());
    CollectionStatistics figures;
    MonthTally bought;
    MonthTally finished;
    // One read transaction: every figure describes the same state of the catalogue.
    sqlite::execute(handle, "BEGIN", statisticsUnreadable());
    try {
        readPurchases(handle, figures, bought);
        figures.byCategory = readCategories(handle, year);
        figures.byShop = readShops(handle, year);
        readFinished(handle, figures, finished);
        figures.unreadByAge = readUnreadByAge(handle, today);
    } catch (const Failure &) {
        sqlite3_exec(handle, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    sqlite3_exec(handle, "COMMIT", nullptr, nullptr, nullptr);

    QList<int> years;
    for (const MonthTally *tally : {&bought, &finished}) {
        for (auto it = tally->keyBegin(); it != tally->keyEnd(); ++it)
            years << *it / 12;
    }
    std::sort(years.begin(), years.end());
    years.erase(std::unique(years.begin(), years.end()), years.end());
    figures.years = years;
    figures.boughtPerYear = yearRun(bought);
    figures.boughtPerMonth = monthRun(bought, year);
    figures.finishedPerMonth = monthRun(finished, year);
    return figures;
}

} // namespace hondana
