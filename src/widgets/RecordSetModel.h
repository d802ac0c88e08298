#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>

namespace hondana {

class RecordSet;
class DataControl;

// A table model over a record set: one row per visible record, the columns a screen chooses,
// cells shown in their display formats and editable where the set can be written. An updatable
// set gets an empty row at the bottom: typing into it starts a new record (add-new). What the
// user types is read by the column's kind; a refusal goes through the data control's error
// event and the cell keeps its value. Editing a cell of another row first moves the record set
// there, which writes the row being left.
class RecordSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString field;
        QString caption; // the field name when empty
        QString displayFormat = {};
    };

    explicit RecordSetModel(DataControl *control, QObject *parent = nullptr);
    ~RecordSetModel() override;

    // Default: every field of the set, captions = field names, no formats.
    void setColumns(const QList<Column> &columns);
    QList<Column> columns() const { return m_columns; }
    int columnOf(const QString &field) const;

    // The empty row at the bottom (on by default for an updatable set).
    void setNewRowEnabled(bool enabled);
    // Index of the empty new row, or -1.
    int newRowIndex() const;

    DataControl *dataControl() const { return m_control; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    RecordSet &recordSet() const;
    bool hasNewRow() const;
    void useAllFields();
    void resolveFields();

    QPointer<DataControl> m_control;
    QList<Column> m_columns;
    bool m_newRowEnabled = true;
    bool m_explicitColumns = false;
    QList<int> m_fieldIndexes;
    bool m_resetting = false;
};

} // namespace hondana
