#include "statistics/StatisticsCharts.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QHorizontalBarSeries>
#include <QLocale>
#include <QValueAxis>

#include <algorithm>

namespace hondana::statistics {

namespace {

// More bars than this and their labels would run into each other.
constexpr qsizetype LabelledBars = 36;
// Ranked charts draw this many names; the figures list them all.
constexpr qsizetype RankedBars = 15;
// Labels a long run of periods is marked with, at most.
constexpr qsizetype RunMarks = 10;

QString totalOf(const QList<StatisticsRow> &rows, bool withAmount) {
    qint64 books = 0;
    qint64 amount = 0;
    for (const StatisticsRow &row : rows) {
        books += row.books;
        amount += row.amount;
    }
    return withAmount ? QStringLiteral("合計 %1 冊・%2 円").arg(figure(books), figure(amount))
                      : QStringLiteral("合計 %1 冊").arg(figure(books));
}

QString undatedPurchases(const CollectionStatistics &figures) {
    if (figures.boughtUndated.books == 0)
        return {};
    return QStringLiteral("\n購入日のない本 %1 冊（%2 円）はこのグラフに数えていません。")
        .arg(figure(figures.boughtUndated.books), figure(figures.boughtUndated.amount));
}

QString purchaseSummary(const CollectionStatistics &figures, const QList<StatisticsRow> &rows) {
    return totalOf(rows, true) + undatedPurchases(figures);
}

// Without a year every book counts here, dated or not; within a year only the dated ones can.
QString rankedSummary(const CollectionStatistics &figures, const QList<StatisticsRow> &rows) {
    qint64 all = figures.boughtUndated.books;
    for (const StatisticsRow &row : figures.boughtPerYear)
        all += row.books;
    qint64 shown = 0;
    qint64 left = 0;
    for (qsizetype i = 0; i < rows.size(); ++i)
        (i < RankedBars ? shown : left) += rows[i].books;
    QString text = totalOf(rows, true);
    if (shown + left < all)
        text += undatedPurchases(figures);
    if (rows.size() > RankedBars)
        text +=
            QStringLiteral("\nグラフには多い順に %1 件を示しています（ほか %2 件・%3 冊は表に）。")
                .arg(RankedBars)
                .arg(rows.size() - RankedBars)
                .arg(figure(left));
    return text;
}

QString finishedSummary(const CollectionStatistics &figures, const QList<StatisticsRow> &rows) {
    QString text = totalOf(rows, false);
    if (figures.readUndated > 0)
        text += QStringLiteral("\n読み終えた日のない既読の本 %1 冊はこのグラフに数えていません。")
                    .arg(figure(figures.readUndated));
    return text;
}

QString unreadSummary(const CollectionStatistics &, const QList<StatisticsRow> &rows) {
    QString text = QStringLiteral("未読 ") + totalOf(rows, true);
    if (!rows.isEmpty() && rows.last().books > 0)
        text += QStringLiteral("\nうち購入日のない本 %1 冊は「%2」に数えています。")
                    .arg(figure(rows.last().books), rows.last().label);
    return text;
}

// Only the largest names are drawn: a bar for the rest together would dwarf them all.
QList<StatisticsRow> rankedHead(const QList<StatisticsRow> &rows) {
    return rows.size() <= RankedBars ? rows : rows.first(RankedBars);
}

qreal measured(const StatisticsRow &row, Measure measure) {
    return qreal(measure == Measure::Books ? row.books : row.amount);
}

// A long run of months or years is marked at the start of every so many years, since a label per
// bar would be unreadable; the bars keep their places from -0.5 to n - 0.5.
QAbstractAxis *periodAxis(const QList<StatisticsRow> &rows) {
    if (rows.size() <= LabelledBars) {
        auto *axis = new QBarCategoryAxis;
        for (const StatisticsRow &row : rows)
            axis->append(row.label);
        return axis;
    }
    QList<qsizetype> yearStarts;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QString &label = rows[i].label;
        if (!label.contains(u'/') || label.endsWith(QStringLiteral("/01")))
            yearStarts << i;
    }
    const qsizetype step = std::max<qsizetype>(1, (yearStarts.size() + RunMarks - 1) / RunMarks);
    auto *axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setStartValue(-1.0);
    for (qsizetype k = 0; k < yearStarts.size(); k += step) {
        const qsizetype at = yearStarts[k];
        axis->append(rows[at].label.left(4), qreal(at) - 0.5 + (at == 0 ? 0.001 : 0.0));
    }
    axis->setRange(-0.5, qreal(rows.size()) - 0.5);
    axis->setGridLineVisible(false);
    return axis;
}

QValueAxis *amountAxis(const QList<StatisticsRow> &rows, Measure measure) {
    qreal top = 0;
    for (const StatisticsRow &row : rows)
        top = std::max(top, measured(row, measure));
    auto *axis = new QValueAxis;
    axis->setRange(0, std::max<qreal>(top, 1));
    axis->applyNiceNumbers();
    axis->setLabelFormat(QStringLiteral("%.0f"));
    return axis;
}

} // namespace

QString figure(qint64 value) {
    return QLocale(QLocale::Japanese, QLocale::Japan).toString(value);
}

const QList<ChartDescription> &charts() {
    using S = CollectionStatistics;
    static const QList<ChartDescription> all = {
        {QStringLiteral("月別の購入冊数"), &S::boughtPerMonth, Measure::Books, true, false,
         purchaseSummary},
        {QStringLiteral("年別の購入冊数"), &S::boughtPerYear, Measure::Books, true, false,
         purchaseSummary},
        {QStringLiteral("月別の購入金額"), &S::boughtPerMonth, Measure::Amount, true, false,
         purchaseSummary},
        {QStringLiteral("年別の購入金額"), &S::boughtPerYear, Measure::Amount, true, false,
         purchaseSummary},
        {QStringLiteral("分野別の購入冊数"), &S::byCategory, Measure::Books, true, true,
         rankedSummary},
        {QStringLiteral("購入先別の購入冊数"), &S::byShop, Measure::Books, true, true,
         rankedSummary},
        {QStringLiteral("月別の読了冊数"), &S::finishedPerMonth, Measure::Books, false, false,
         finishedSummary},
        {QStringLiteral("購入からの期間別の未読冊数"), &S::unreadByAge, Measure::Books, true, true,
         unreadSummary},
    };
    return all;
}

QChart *buildChart(const ChartDescription &chart, const QList<StatisticsRow> &allRows) {
    // Ranked bars are drawn from the bottom up; the first name belongs on top.
    QList<StatisticsRow> rows = chart.ranked ? rankedHead(allRows) : allRows;
    if (chart.ranked)
        std::reverse(rows.begin(), rows.end());

    auto *set = new QBarSet(chart.measure == Measure::Books ? QStringLiteral("冊数")
                                                            : QStringLiteral("金額（円）"));
    for (const StatisticsRow &row : rows)
        set->append(measured(row, chart.measure));
    QAbstractBarSeries *series =
        chart.ranked ? static_cast<QAbstractBarSeries *>(new QHorizontalBarSeries) : new QBarSeries;
    series->append(set);
    // A long run has bars a pixel or two wide; an outline would hide their colour.
    const bool longRun = rows.size() > LabelledBars;
    if (longRun)
        set->setPen(Qt::NoPen);
    series->setBarWidth(longRun ? 1.0 : 0.8);

    auto *view = new QChart;
    view->setTitle(chart.caption);
    view->setAnimationOptions(QChart::NoAnimation);
    view->legend()->hide();
    view->addSeries(series);
    QAbstractAxis *names = chart.ranked ? new QBarCategoryAxis : periodAxis(rows);
    if (chart.ranked) {
        for (const StatisticsRow &row : rows)
            static_cast<QBarCategoryAxis *>(names)->append(row.label);
    }
    QValueAxis *values = amountAxis(rows, chart.measure);
    view->addAxis(names, chart.ranked ? Qt::AlignLeft : Qt::AlignBottom);
    view->addAxis(values, chart.ranked ? Qt::AlignBottom : Qt::AlignLeft);
    series->attachAxis(names);
    series->attachAxis(values);
    return view;
}

} // namespace hondana::statistics
