#pragma once

#include <QAbstractTableModel>

namespace hondana {

class ShapedRecordSet;

// The chapter of the current parent row as a read-only table: every child column in the
// command's order, captioned with its field name. It follows the parent's moves.
class ChapterModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ChapterModel(ShapedRecordSet &set, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    ShapedRecordSet &m_set;
};

} // namespace hondana
