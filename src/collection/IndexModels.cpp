#include "collection/IndexModels.h"

#include "base/Failure.h"
#include "catalogue/ReadingText.h"

namespace hondana::collection {

namespace {

const QString SuggestedMark = QStringLiteral("（候補）");

} // namespace

IndexEntryModel::IndexEntryModel(IndexCatalogue &catalogue, ReadingWriter writer, QObject *parent)
    : QAbstractTableModel(parent), m_catalogue(catalogue), m_writer(std::move(writer)) {}

void IndexEntryModel::showTab(IndexTab tab) {
    m_catalogue.entries(tab); // built before the reset starts, as building may fail
    beginResetModel();
    m_tab = tab;
    endResetModel();
}

int IndexEntryModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : entries().count();
}

int IndexEntryModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant IndexEntryModel::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const IndexEntry &entry = entries().at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case TextColumn:
            return entry.text;
        case ReadingColumn:
            return entry.suggested ? entry.reading + SuggestedMark : entry.reading;
        case BooksColumn:
            return qulonglong(entry.books.size());
        }
        break;
    case Qt::EditRole:
        if (index.column() == ReadingColumn)
            return entry.reading;
        break;
    case Qt::ToolTipRole:
        if (index.column() == ReadingColumn && entry.suggested)
            return QStringLiteral("自動で付けた候補です。直すか、そのまま確定すると確定します。");
        break;
    case Qt::TextAlignmentRole:
        if (index.column() == BooksColumn)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        break;
    }
    return {};
}

QVariant IndexEntryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case TextColumn:
        return m_tab == IndexTab::Titles    ? QStringLiteral("題名")
               : m_tab == IndexTab::Authors ? QStringLiteral("著者名")
                                            : QStringLiteral("発行所");
    case ReadingColumn:
        return QStringLiteral("読み");
    case BooksColumn:
        return QStringLiteral("冊数");
    }
    return {};
}

Qt::ItemFlags IndexEntryModel::flags(const QModelIndex &index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == ReadingColumn && m_tab != IndexTab::Titles)
        flags |= Qt::ItemIsEditable;
    return flags;
}

// Whatever the user enters, the same text included, becomes the user's reading: entering a
// suggestion unchanged confirms it.
bool IndexEntryModel::setData(const QModelIndex &index, const QVariant &value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const QString typed = value.toString().trimmed();
    const QString reading = readings::toKatakana(typed);
    if (!reading.isEmpty() && !readings::isValidReading(reading)) {
        Q_EMIT refused(StoredReadings::invalidReadingMessage(typed));
        return false;
    }
    const int from = index.row();
    try {
        m_writer(m_tab, entries().at(from).masterRowId, reading);
    } catch (const Failure &failure) {
        Q_EMIT refused(failure.message());
        return false;
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const int to = m_catalogue.setNameReading(m_tab, from, reading);
    moveRow(from, to);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndex moved = this->index(to, ReadingColumn);
    Q_EMIT dataChanged(moved, moved);
    return true;
}

// The persistent indexes follow the entry that moved and the rows it passed.
void IndexEntryModel::moveRow(int from, int to) {
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (const QModelIndex &index : before) {
        int row = index.row();
        if (row == from)
            row = to;
        else if (from < to && row > from && row <= to)
            --row;
        else if (to < from && row >= to && row < from)
            ++row;
        after << this->index(row, index.column());
    }
    changePersistentIndexList(before, after);
}

IndexBookModel::IndexBookModel(IndexCatalogue &catalogue, QObject *parent)
    : QAbstractTableModel(parent), m_catalogue(catalogue) {}

void IndexBookModel::showBooks(const IndexEntry *entry) {
    beginResetModel();
    m_books = entry ? entry->books : std::vector<qint32>{};
    endResetModel();
}

void IndexBookModel::readingsChanged() {
    if (!m_books.empty())
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

qint64 IndexBookModel::bookRowId(int row) const {
    return m_catalogue.bookRowId(m_books[size_t(row)]);
}

int IndexBookModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_books.size());
}

int IndexBookModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant IndexBookModel::data(const QModelIndex &index, int role) const {
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const int book = m_books[size_t(index.row())];
    switch (index.column()) {
    case TitleColumn:
        return m_catalogue.title(book);
    case TitleReadingColumn:
        return m_catalogue.titleReading(book);
    case AuthorColumn:
        return m_catalogue.name(IndexTab::Authors, book);
    case AuthorReadingColumn:
        return m_catalogue.nameReading(IndexTab::Authors, book);
    case PublisherColumn:
        return m_catalogue.name(IndexTab::Publishers, book);
    }
    return {};
}

QVariant IndexBookModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const QString headers[ColumnCount] = {
        QStringLiteral("題名"), QStringLiteral("題名の読み"), QStringLiteral("著者名"),
        QStringLiteral("著者名の読み"), QStringLiteral("発行所")};
    return section >= 0 && section < ColumnCount ? headers[section] : QVariant();
}

} // namespace hondana::collection
