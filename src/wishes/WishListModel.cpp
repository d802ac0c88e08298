#include "wishes/WishListModel.h"

namespace hondana {

void WishListModel::setWishes(const QList<Wish> &wishes) {
    beginResetModel();
    m_wishes = wishes;
    endResetModel();
}

int WishListModel::rowOf(qint64 id) const {
    for (int row = 0; row < m_wishes.size(); ++row) {
        if (m_wishes[row].id == id)
            return row;
    }
    return -1;
}

QString WishListModel::priorityName(int priority) {
    static const QString names[] = {QStringLiteral("高"), QStringLiteral("中"),
                                    QStringLiteral("低")};
    return priority >= 1 && priority <= 3 ? names[priority - 1] : QString::number(priority);
}

int WishListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_wishes.size());
}

int WishListModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : Columns;
}

QVariant WishListModel::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || role != Qt::DisplayRole)
        return {};
    const Wish &wish = m_wishes[index.row()];
    switch (index.column()) {
    case PriorityColumn:
        return priorityName(wish.priority);
    case TitleColumn:
        return wish.title;
    case AuthorColumn:
        return wish.author;
    case IsbnColumn:
        return wish.isbn.hyphenated();
    case NoteColumn:
        return wish.note;
    case AddedColumn:
        return wish.addedOn.toString(QStringLiteral("yyyy/MM/dd"));
    default:
        return {};
    }
}

QVariant WishListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char *const captions[] = {"優先度", "題名", "著者", "ISBN", "メモ", "追加日"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= Columns)
        return {};
    return QString::fromUtf8(captions[section]);
}

} // namespace hondana
