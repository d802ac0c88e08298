#pragma once

#include "catalogue/CollectionStatistics.h"
#include "db/Connection.h"
#include "widgets/WindowNames.h"

#include <QWidget>

#include <optional>

class QChartView;
class QComboBox;
class QLabel;
class QTableWidget;

namespace hondana {

// Charts of what the collection bought and read when, and of the unread pile, with the figures
// beside each chart; the chart shown can be saved as a PNG picture.
class StatisticsWindow : public QWidget {
    Q_OBJECT
public:
    static inline const QString &Name = windows::Statistics;
    static inline const QString Caption = QStringLiteral("統計");

    explicit StatisticsWindow(QWidget *parent = nullptr);

    // Reads the figures anew for the chosen year (all years when none) and shows them. A
    // catalogue that cannot be read is said in the window. False then.
    bool reload();
    // Shows the chart at `index` of statistics::charts().
    void showChart(int index);
    // Writes the chart shown as a PNG picture to `path`; says why not when it cannot.
    bool savePng(const QString &path);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void choosePng();
    void fillYears();
    void fillFigures(const QList<StatisticsRow> &rows, bool withAmount);
    std::optional<int> chosenYear() const;

    Connection m_connection;
    CollectionStatistics m_figures;
    QComboBox *m_chart = nullptr;
    QComboBox *m_year = nullptr;
    QChartView *m_view = nullptr;
    QTableWidget *m_table = nullptr;
    QLabel *m_summary = nullptr;
    QLabel *m_status = nullptr;
    bool m_placed = false;
};

void registerStatisticsWindow();

} // namespace hondana
