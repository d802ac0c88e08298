#pragma once

#include "widgets/RecordSetModel.h"

#include <QTableView>

namespace hondana {

class DataSource;

// A grid bound to a record set (usually a data source's): shows it through a RecordSetModel, moves
// the record set with the grid's current row (leaving a row writes it; a refusal goes through the
// error event and the grid stays on that row), and follows the record set's moves.
class DataGrid : public QTableView {
    Q_OBJECT
public:
    explicit DataGrid(QWidget *parent = nullptr);
    ~DataGrid() override;

    void bind(DataSource *source, const QList<RecordSetModel::Column> &columns = {});
    // A set no data source owns (the child rows of a grouped list, say).
    void bind(RecordSet *set, const QList<RecordSetModel::Column> &columns = {});
    RecordSetModel *recordModel() const { return m_model; }
    RecordSet *recordSet() const;

    // Column widths in twips, left to right.
    void setColumnWidthsTwips(const QList<double> &widths);
    // Puts the cursor into the empty row at the bottom (the first column), where typing starts
    // a new record; the row being left is written first. Returns false when that is refused.
    bool goToNewRow();

private:
    void onCurrentRowChanged(const QModelIndex &current, const QModelIndex &previous);
    void followRecordSet();

    RecordSetModel *m_model = nullptr;
    bool m_following = false;
};

} // namespace hondana
