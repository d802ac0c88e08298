#pragma once

#include "widgets/GridColumn.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>

#include <functional>

namespace hondana {

class DataSource;
class RecordSet;

// A table model over a record set: one row per visible record, the columns a screen chooses,
// cells shown in their display formats and editable where the set can be written. An updatable
// set gets an empty row at the bottom: typing into it starts a new record (add-new). What the
// user types is read by the column's kind; a refusal goes through the data source's error
// event, the cell keeps its value and refused() hands the typed text back for correction.
// Editing a cell of another row first moves the record set there, which writes the row being
// left.
class RecordSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // `source` reports the failures of editing and moving; without one (a set no data source
    // owns) a failure is shown alone in an OK-only message.
    RecordSetModel(RecordSet *set, DataSource *source, QObject *parent = nullptr);
    ~RecordSetModel() override;

    // Default: every field of the set, captions = field names, no formats.
    void setColumns(const QList<GridColumn> &columns);
    QList<GridColumn> columns() const { return m_columns; }

    // Shows the set without letting it be edited: no new row, no editable cell.
    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return m_readOnly; }
    // Index of the empty new row, or -1.
    int newRowIndex() const;

    RecordSet *recordSet() const { return m_set; }
    // Runs a step on the set; a failure is reported as above. Returns whether it ran through.
    bool runReportingFailure(const std::function<void()> &step);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

Q_SIGNALS:
    // What the user typed into `cell` was not taken (the error event has said why).
    void refused(const QModelIndex &cell, const QString &typed);

private:
    const RecordSet &set() const { return *m_set; }
    bool hasNewRow() const;
    void useAllFields();
    void resolveFields();

    QPointer<RecordSet> m_set;
    QPointer<DataSource> m_source;
    QList<GridColumn> m_columns;
    bool m_readOnly = false;
    bool m_explicitColumns = false;
    QList<int> m_fieldIndexes;
    bool m_resetting = false;
    bool m_fillsNewRow = false;
};

} // namespace hondana
