#pragma once

#include "catalogue/SeriesVolumes.h"
#include "widgets/ListOutput.h"
#include "widgets/WindowNames.h"

#include <QAbstractTableModel>
#include <QWidget>

class QCheckBox;
class QLabel;
class QListWidget;
class QTableView;

namespace hondana {

namespace collection {

// The series as a table: title, reading, volumes owned and missing, 全体NO; optionally only those
// with a volume missing.
class SeriesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Title, Reading, Owned, Missing, Total, ColumnCount };

    explicit SeriesModel(QObject *parent = nullptr);

    void setSeries(QList<Series> series);
    void setIncompleteOnly(bool incompleteOnly);
    const Series &seriesAt(int row) const;
    int incompleteCount() const { return int(m_incomplete.size()); }
    int allCount() const { return int(m_all.size()); }
    const QList<Series> &all() const { return m_all; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QList<Series> m_all;
    QList<int> m_incomplete; // indexes into m_all
    bool m_incompleteOnly = false;
};

} // namespace collection

// Every title held in volumes, in 50音 order of its reading, with the volumes owned written as a
// collector writes them and those missing; a volume opens in the register; the next volume to
// buy of each incomplete series prints or saves as CSV.
class SeriesWindow : public QWidget {
    Q_OBJECT
public:
    static inline const QString Name = windows::SeriesList;
    static inline const QString Caption = QStringLiteral("シリーズと欠けている巻");

    explicit SeriesWindow(QWidget *parent = nullptr);

    // Reads the series from the catalogue anew.
    void load();
    // "次に買う巻": the first missing volume of each incomplete series, in the list's order.
    TextList nextToBuy() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    void showVolumes();
    void openVolume();
    void showCount();

    collection::SeriesModel *m_model = nullptr;
    QTableView *m_seriesView = nullptr;
    QListWidget *m_volumes = nullptr;
    QCheckBox *m_incompleteOnly = nullptr;
    QLabel *m_count = nullptr;
    bool m_placed = false;
};

} // namespace hondana
