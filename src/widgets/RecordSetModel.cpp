#include "widgets/RecordSetModel.h"

#include "db/InputParsing.h"
#include "db/RecordSet.h"
#include "widgets/DataSource.h"
#include "widgets/RecordCommands.h"

namespace hondana {

RecordSetModel::RecordSetModel(RecordSet *set, DataSource *source, QObject *parent)
    : QAbstractTableModel(parent), m_set(set), m_source(source) {
    connect(set, &RecordSet::aboutToReset, this, [this] {
        if (!m_resetting) {
            m_resetting = true;
            beginResetModel();
        }
    });
    connect(set, &RecordSet::rowsReset, this, [this] {
        if (!m_resetting)
            beginResetModel();
        if (!m_explicitColumns)
            useAllFields();
        resolveFields();
        m_resetting = false;
        endResetModel();
    });
    // A record added at the end takes the place of the empty row the user is typing into, and a
    // new empty row appears below it: the open cell and the current index stay where they are.
    connect(set, &RecordSet::aboutToInsertRow, this, [this](int row) {
        m_fillsNewRow = hasNewRow() && row == newRowIndex();
        beginInsertRows({}, m_fillsNewRow ? row + 1 : row, m_fillsNewRow ? row + 1 : row);
    });
    connect(set, &RecordSet::rowInserted, this, [this](int row) {
        endInsertRows();
        if (!m_fillsNewRow)
            return;
        if (!m_columns.isEmpty())
            Q_EMIT dataChanged(index(row, 0), index(row, int(m_columns.size()) - 1));
        Q_EMIT headerDataChanged(Qt::Vertical, row, row + 1);
    });
    connect(set, &RecordSet::aboutToRemoveRow, this,
            [this](int row) { beginRemoveRows({}, row, row); });
    connect(set, &RecordSet::rowRemoved, this, [this] { endRemoveRows(); });
    connect(set, &RecordSet::rowChanged, this, [this](int row) {
        if (!m_columns.isEmpty())
            Q_EMIT dataChanged(index(row, 0), index(row, int(m_columns.size()) - 1));
    });
    useAllFields();
    resolveFields();
}

RecordSetModel::~RecordSetModel() = default;

void RecordSetModel::useAllFields() {
    m_columns.clear();
    for (const QString &field : set().fieldNames())
        m_columns << GridColumn{field, field};
}

void RecordSetModel::resolveFields() {
    m_fieldIndexes.clear();
    for (const GridColumn &column : std::as_const(m_columns))
        m_fieldIndexes << set().fieldIndex(column.field);
}

void RecordSetModel::setColumns(const QList<GridColumn> &columns) {
    beginResetModel();
    m_explicitColumns = !columns.isEmpty();
    if (m_explicitColumns)
        m_columns = columns;
    else
        useAllFields();
    resolveFields();
    endResetModel();
}

void RecordSetModel::setReadOnly(bool readOnly) {
    beginResetModel();
    m_readOnly = readOnly;
    endResetModel();
}

bool RecordSetModel::hasNewRow() const {
    return !m_readOnly && set().isUpdatable();
}

int RecordSetModel::newRowIndex() const {
    return hasNewRow() ? set().recordCount() : -1;
}

int RecordSetModel::rowCount(const QModelIndex &parent) const {
    if (parent.isValid() || !set().isOpen())
        return 0;
    return set().recordCount() + (hasNewRow() ? 1 : 0);
}

int RecordSetModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant RecordSetModel::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const GridColumn &column = m_columns.at(index.column());
    const int field = m_fieldIndexes.value(index.column(), -1);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        if (index.row() >= set().recordCount())
            return QString();
        return input::format(set().valueAt(index.row(), field), column.displayFormat);
    case Qt::TextAlignmentRole:
        if (set().fieldKind(column.field) == schema::Kind::Integer)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

bool RecordSetModel::setData(const QModelIndex &index, const QVariant &value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    RecordSet &set = *m_set;
    const QString field = m_columns.at(index.column()).field;
    const QString text = value.toString();
    const bool intoNewRow = index.row() == newRowIndex();
    if (intoNewRow && text.isEmpty())
        return false;
    const bool written = runReportingFailure([&] {
        const QVariant typed = input::parse(text, set.fieldKind(field), field);
        if (intoNewRow) {
            set.addNew();
        } else if (set.absolutePosition() != index.row() + 1) {
            set.moveTo(index.row() + 1);
        }
        if (!input::leavesUnchanged(typed, set.value(field)))
            set.setValue(field, typed);
    });
    if (!written)
        Q_EMIT refused(index, text);
    return written;
}

QVariant RecordSetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= m_columns.size())
            return {};
        const GridColumn &column = m_columns.at(section);
        return column.caption.isEmpty() ? column.field : column.caption;
    }
    if (section == newRowIndex())
        return QStringLiteral("*");
    return section + 1;
}

Qt::ItemFlags RecordSetModel::flags(const QModelIndex &index) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (!m_readOnly && set().isUpdatable() && !m_columns.at(index.column()).locked)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool RecordSetModel::runReportingFailure(const std::function<void()> &step) {
    return m_source ? m_source->runReportingFailure(step) : runRecordCommand(step);
}

} // namespace hondana
