#include "retrieval/ChapterModel.h"

#include "db/InputParsing.h"
#include "db/ShapedRecordSet.h"

namespace hondana {

ChapterModel::ChapterModel(ShapedRecordSet &set, QObject *parent)
    : QAbstractTableModel(parent), m_set(set) {
    // A new chapter is a new table: rows and, after a re-read, perhaps columns.
    connect(&set, &ShapedRecordSet::chapterChanged, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

int ChapterModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_set.chapter().size());
}

int ChapterModel::columnCount(const QModelIndex &parent) const {
    if (parent.isValid() || !m_set.childRows().isOpen())
        return 0;
    return int(m_set.childRows().fieldNames().size());
}

QVariant ChapterModel::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const RecordSet &rows = m_set.childRows();
    const QVariant value = rows.valueAt(m_set.chapter()[size_t(index.row())], index.column());
    switch (role) {
    case Qt::DisplayRole:
        return input::format(value);
    case Qt::TextAlignmentRole:
        if (rows.fieldKind(rows.fieldNames().at(index.column())) == schema::Kind::Integer)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant ChapterModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    return m_set.childRows().fieldNames().value(section);
}

} // namespace hondana
