#include "catalogue/CollectionStatistics.h"

#include "base/Failure.h"
#include "catalogue/JapaneseOrder.h"
#include "db/Connection.h"
#include "db/Schema.h"
#include "db/SqliteStatement.h"

#include <QByteArrayView>
#include <QHash>
#include <QMap>

#include <algorithm>
#include <limits>
#include <vector>

#include <sqlite3.h>

namespace hondana {

namespace {

QString statisticsUnreadable() {
    return QStringLiteral("統計のために目録を読めません");
}

void finishStatisticsRead(int result, sqlite3 *handle) {
    if (sqlite::Statement::failed(result))
        throw Failure(statisticsUnreadable() + QStringLiteral(": ") + sqlite::lastError(handle));
}

// Months counted as year * 12 + month - 1, so that a run of them has no holes.
using MonthTally = QMap<int, StatisticsRow>;

// The month of a stored date ("yyyy-MM-dd"); nullopt for none, for day 0 (what a restore writes
// for an empty date) and for anything that is no date (a file another program wrote).
std::optional<int> monthOf(QByteArrayView date) {
    if (date.size() != 10 || date == "1899-12-30" || date[4] != '-' || date[7] != '-')
        return std::nullopt;
    bool yearOk = false;
    bool monthOk = false;
    const int year = date.first(4).toInt(&yearOk);
    const int month = date.sliced(5, 2).toInt(&monthOk);
    if (!yearOk || !monthOk || month < 1 || month > 12)
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

// The first name of every category number, as the lists look it up.
QHash<qint64, QString> categoryNames(sqlite3 *handle) {
    QHash<qint64, QString> names;
    sqlite::Statement statement(handle,
                                QStringLiteral("SELECT 分野NO, 分野名 FROM BUNYA "
                                               "WHERE 分野NO IS NOT NULL ORDER BY rowid"),
                                statisticsUnreadable());
    int result;
    while ((result = statement.step()) == SQLITE_ROW) {
        const qint64 number = sqlite3_column_int64(statement.get(), 0);
        if (!names.contains(number))
            names.insert(number, sqlite::columnText(statement.get(), 1));
    }
    finishStatisticsRead(result, handle);
    return names;
}

void addTo(StatisticsRow &row, qint64 amount) {
    ++row.books;
    row.amount += amount;
}

// Adds up the books of one pass over BOOK. Which of them are unread is the unread list's own
// condition, evaluated by the engine.
class StatisticsTally {
public:
    StatisticsTally(const QDate &today, std::optional<int> year) : m_year(year) {
        for (const QDate &since :
             {today.addMonths(-1), today.addMonths(-6), today.addYears(-1), today.addYears(-2)})
            m_ageSteps << since.toString(Qt::ISODate).toLatin1();
        for (const QString &label : unreadAgeLabels())
            m_unread << StatisticsRow{label, 0, 0};
    }

    // One book: 購入日, 価格, 分野NO, 購入先, 読書完了日, unread.
    void add(sqlite3_stmt *book) {
        const QByteArrayView bought = sqlite::columnBytes(book, 0);
        const std::optional<int> month = monthOf(bought);
        const qint64 price = sqlite3_column_int64(book, 1);
        addTo(month ? m_bought[*month] : m_undated, price);
        if (!m_year || (month && *month / 12 == *m_year)) {
            const bool noCategory = sqlite3_column_type(book, 2) == SQLITE_NULL;
            addTo(m_categories[noCategory ? NoCategory : sqlite3_column_int64(book, 2)], price);
            addTo(shop(sqlite::columnBytes(book, 3)), price);
        }
        const bool unread = sqlite3_column_int(book, 5) != 0;
        if (const std::optional<int> finished = monthOf(sqlite::columnBytes(book, 4)))
            ++m_finished[*finished].books;
        else if (!unread)
            ++m_readUndated;
        if (unread)
            addTo(m_unread[month ? ageStep(bought) : m_unread.size() - 1], price);
    }

    CollectionStatistics figures(const QHash<qint64, QString> &names) const {
        CollectionStatistics figures;
        figures.boughtPerMonth = monthRun(m_bought, m_year);
        figures.boughtPerYear = yearRun(m_bought);
        figures.finishedPerMonth = monthRun(m_finished, m_year);
        figures.unreadByAge = m_unread;
        figures.boughtUndated = m_undated;
        figures.readUndated = m_readUndated;
        QList<StatisticsRow> rows;
        for (auto it = m_categories.cbegin(); it != m_categories.cend(); ++it)
            rows << StatisticsRow{names.value(it.key()), it->books, it->amount};
        figures.byCategory = rankedByBooks(rows);
        rows.clear();
        for (auto it = m_shops.cbegin(); it != m_shops.cend(); ++it)
            rows << StatisticsRow{QString::fromUtf8(it.key()), it->books, it->amount};
        figures.byShop = rankedByBooks(rows);
        for (const MonthTally *tally : {&m_bought, &m_finished}) {
            for (auto it = tally->keyBegin(); it != tally->keyEnd(); ++it)
                figures.years << *it / 12;
        }
        std::sort(figures.years.begin(), figures.years.end());
        figures.years.erase(std::unique(figures.years.begin(), figures.years.end()),
                            figures.years.end());
        return figures;
    }

private:
    static constexpr qint64 NoCategory = std::numeric_limits<qint64>::min();

    // Blanks are trimmed when the rows are ranked, once per shop rather than once per book.
    StatisticsRow &shop(QByteArrayView name) {
        auto it = m_shops.find(QByteArray::fromRawData(name.data(), name.size()));
        if (it == m_shops.end())
            it = m_shops.insert(name.toByteArray(), {});
        return *it;
    }

    // ISO dates order as their texts do; a book bought exactly a month ago is a month old.
    qsizetype ageStep(QByteArrayView bought) const {
        qsizetype step = 0;
        while (step < m_ageSteps.size() && bought <= QByteArrayView(m_ageSteps[step]))
            ++step;
        return step;
    }

    std::optional<int> m_year;
    QList<QByteArray> m_ageSteps;
    MonthTally m_bought;
    MonthTally m_finished;
    StatisticsRow m_undated;
    qint64 m_readUndated = 0;
    QHash<qint64, StatisticsRow> m_categories;
    QHash<QByteArray, StatisticsRow> m_shops;
    QList<StatisticsRow> m_unread;
};

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
    const QHash<qint64, QString> names = categoryNames(handle);
    // One pass over the books, added up here: grouping in the engine sorts the whole table once
    // for every chart, several times slower.
    StatisticsTally tally(today, year);
    sqlite::Statement books(
        handle,
        QStringLiteral("SELECT 購入日, 価格, 分野NO, 購入先, 読書完了日, (%1) FROM BOOK")
            .arg(schema::unreadCondition()),
        statisticsUnreadable());
    int result;
    while ((result = books.step()) == SQLITE_ROW)
        tally.add(books.get());
    finishStatisticsRead(result, handle);
    return tally.figures(names);
}

} // namespace hondana
