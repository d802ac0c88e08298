#pragma once

#include "catalogue/WishList.h"

#include <QAbstractTableModel>

namespace hondana {

// The wish list as the window shows it, in the list's own order.
class WishListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column {
        PriorityColumn,
        TitleColumn,
        AuthorColumn,
        IsbnColumn,
        NoteColumn,
        AddedColumn,
        Columns
    };

    using QAbstractTableModel::QAbstractTableModel;

    void setWishes(const QList<Wish> &wishes);
    const QList<Wish> &wishes() const { return m_wishes; }
    // The row of the wish `id`; -1 when none has it.
    int rowOf(qint64 id) const;

    // "高", "中", "低".
    static QString priorityName(int priority);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QList<Wish> m_wishes;
};

} // namespace hondana
