#pragma once

#include "widgets/RecordSetModel.h"

#include <QTableView>

namespace hondana {

class DataSource;

// A grid bound to a data source's record set: shows it in the columns a list of
// GridColumn describes through a RecordSetModel, moves the record set with the grid's current
// row (leaving a row writes it; a refusal goes through the error event and the grid stays on
// that row), and follows the record set's moves. A cell whose typed value was refused opens
// again with that text, for correction.
class DataGrid : public QTableView {
    Q_OBJECT
public:
    explicit DataGrid(QWidget *parent = nullptr);
    ~DataGrid() override;

    void bind(DataSource *source, const QList<GridColumn> &columns = {});
    RecordSetModel *recordModel() const { return m_model; }
    RecordSet *recordSet() const;

    // A grid to look at, not to edit (the retrieval screens).
    void setReadOnly(bool readOnly);
    // Puts the cursor into the empty row at the bottom (the first column), where typing starts
    // a new record; the row being left is written first. Returns false when that is refused.
    bool goToNewRow();

Q_SIGNALS:
    // The Delete key on a record row while no cell is being edited (never on a read-only grid).
    void deleteRowRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void applyColumnLayout(const QList<GridColumn> &columns);
    void onCurrentRowChanged(const QModelIndex &current, const QModelIndex &previous);
    void followRecordSet();
    void reopenWithText(const QPersistentModelIndex &cell, const QString &typed);

    RecordSetModel *m_model = nullptr;
    bool m_following = false;
    bool m_readOnly = false;
};

} // namespace hondana
