#pragma once

#include "catalogue/CollectionStatistics.h"

#include <QList>
#include <QString>

class QChart;

namespace hondana::statistics {

enum class Measure { Books, Amount };

// One chart of the statistics window: what it draws, and what the figures beside it say.
struct ChartDescription {
    QString caption;
    QList<StatisticsRow> CollectionStatistics::*rows;
    Measure measure;
    // The figures show the money too.
    bool withAmount;
    // Names rather than a run of periods: drawn down the side, the largest few alone and the rest
    // together as 「その他」.
    bool ranked;
    // The totals and what the chart leaves out.
    QString (*summary)(const CollectionStatistics &figures, const QList<StatisticsRow> &rows);
};

// The charts, in the order the window offers them.
const QList<ChartDescription> &charts();

// A new chart of `rows` as `chart` describes it; the caller takes it.
QChart *buildChart(const ChartDescription &chart, const QList<StatisticsRow> &rows);

// A count or sum as the figures write it (1,234).
QString figure(qint64 value);

} // namespace hondana::statistics
