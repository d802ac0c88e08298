#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

namespace hondana {

class Connection;

// One bar of a chart: how many books, and what they cost (価格 summed, in yen).
struct StatisticsRow {
    QString label;
    qint64 books = 0;
    qint64 amount = 0;

    bool operator==(const StatisticsRow &) const = default;
};

// The collection at a glance: what was bought and read when, and what waits unread. A date that
// is empty or day 0 (1899-12-30, what a restore writes for an empty date) is no date: such books
// are counted apart, never in a month.
struct CollectionStatistics {
    // "2024/03", every month from the first to the last one bought in, empty ones as zero; with a
    // year chosen, January to December of it.
    QList<StatisticsRow> boughtPerMonth;
    // "2024", every year from the first to the last; never narrowed to the chosen year.
    QList<StatisticsRow> boughtPerYear;
    // By 分野名 and by 購入先 (trailing blanks aside), most books first, ties in Japanese order;
    // 「不明」 (no name, or a number BUNYA lacks) last. With a year chosen, the books bought in it.
    QList<StatisticsRow> byCategory;
    QList<StatisticsRow> byShop;
    // By 読書完了日, like boughtPerMonth; no money.
    QList<StatisticsRow> finishedPerMonth;
    // The unread books (as the unread list decides) by how long ago they were bought, in the
    // fixed steps of unreadAgeLabels(), zeros included; never narrowed to the chosen year.
    QList<StatisticsRow> unreadByAge;

    // Books without a purchase date, and their money: in no month or year.
    StatisticsRow boughtUndated;
    // Books read (any stamp but unread) without a 読書完了日.
    qint64 readUndated = 0;
    // The years anything was bought or finished in, ascending, for choosing one.
    QList<int> years;
};

// The steps of the unread pile, youngest first, and the one for books without a purchase date.
const QList<QString> &unreadAgeLabels();
inline const QString UnknownStatisticsLabel = QStringLiteral("不明");

// Reads the figures from the catalogue in a few grouped statements; the ages of the unread books
// count from `today`, and `year` narrows purchases and readings to one year. Throws Failure when
// the catalogue cannot be read.
CollectionStatistics readCollectionStatistics(Connection &connection, const QDate &today,
                                              std::optional<int> year = std::nullopt);

} // namespace hondana
