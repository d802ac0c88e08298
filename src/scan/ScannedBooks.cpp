#include "scan/ScannedBooks.h"

#include "base/Failure.h"

namespace hondana {

ScannedBooks::ScannedBooks(CatalogueCheck inCatalogue, QObject *parent)
    : QAbstractTableModel(parent), m_inCatalogue(std::move(inCatalogue)) {}

void ScannedBooks::setLookup(IsbnLookup *lookup) {
    if (m_lookup)
        disconnect(m_lookup, nullptr, this, nullptr);
    m_lookup = lookup;
    if (!lookup)
        return;
    connect(lookup, &IsbnLookup::finished, this, &ScannedBooks::answered);
    for (int row = 0; row < m_rows.size(); ++row)
        if (m_rows[row].state == State::NotAsked)
            check(row);
}

int ScannedBooks::take(const QString &typed) {
    const int row = int(m_rows.size());
    beginInsertRows({}, row, row);
    m_rows.append(Row{typed.trimmed(), {}, State::Invalid, {}, {}});
    endInsertRows();
    check(row);
    return row;
}

void ScannedBooks::drop(QList<int> rows) {
    std::sort(rows.begin(), rows.end(), std::greater<>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (const int row : rows) {
        if (row < 0 || row >= m_rows.size())
            continue;
        beginRemoveRows({}, row, row);
        m_rows.removeAt(row);
        endRemoveRows();
    }
    Q_EMIT statesChanged();
}

void ScannedBooks::check(int row) {
    Row &scanned = m_rows[row];
    scanned.book = {};
    scanned.message.clear();
    try {
        scanned.isbn = Isbn::fromText(scanned.typed);
    } catch (const Failure &failure) {
        scanned.isbn = {};
        scanned.state = State::Invalid;
        scanned.message = failure.message();
        changed(row);
        return;
    }
    const auto earlier = std::find_if(m_rows.cbegin(), m_rows.cbegin() + row, [&](const Row &r) {
        return r.isbn == scanned.isbn && r.state != State::AlreadyScanned;
    });
    if (earlier != m_rows.cbegin() + row)
        scanned.state = State::AlreadyScanned;
    else if (m_inCatalogue && m_inCatalogue(scanned.isbn))
        scanned.state = State::InCatalogue;
    else if (!m_lookup)
        scanned.state = State::NotAsked;
    else {
        scanned.state = State::Waiting;
        m_lookup->lookUp(scanned.isbn);
    }
    changed(row);
}

void ScannedBooks::answered(const LookupResult &result) {
    for (int row = 0; row < m_rows.size(); ++row) {
        Row &scanned = m_rows[row];
        if (scanned.state != State::Waiting || !(scanned.isbn == result.isbn))
            continue;
        scanned.state = result.outcome == LookupResult::Outcome::Found      ? State::Found
                        : result.outcome == LookupResult::Outcome::NotFound ? State::NotFound
                                                                            : State::Failed;
        scanned.book = result.book;
        scanned.message = result.message;
        changed(row);
    }
}

void ScannedBooks::changed(int row) {
    Q_EMIT dataChanged(index(row, 0), index(row, Columns - 1));
    Q_EMIT statesChanged();
}

QList<LookedUpBook> ScannedBooks::foundBooks() const {
    QList<LookedUpBook> books;
    for (const int row : foundRows())
        books << m_rows.at(row).book;
    return books;
}

QList<int> ScannedBooks::foundRows() const {
    QList<int> rows;
    for (int row = 0; row < m_rows.size(); ++row)
        if (m_rows.at(row).state == State::Found)
            rows << row;
    return rows;
}

int ScannedBooks::count(State state) const {
    return int(std::count_if(m_rows.cbegin(), m_rows.cend(),
                             [state](const Row &row) { return row.state == state; }));
}

QString ScannedBooks::stateText(State state) {
    switch (state) {
    case State::Invalid:
        return QStringLiteral("無効な ISBN");
    case State::AlreadyScanned:
        return QStringLiteral("読み取り済み");
    case State::InCatalogue:
        return QStringLiteral("登録済み");
    case State::NotAsked:
        return QStringLiteral("未照会");
    case State::Waiting:
        return QStringLiteral("照会中");
    case State::Found:
        return QStringLiteral("見つかりました");
    case State::NotFound:
        return QStringLiteral("見つかりません");
    case State::Failed:
        return QStringLiteral("照会できません");
    }
    return {};
}

int ScannedBooks::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ScannedBooks::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : Columns;
}

QVariant ScannedBooks::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const Row &row = m_rows.at(index.row());
    if (role == Qt::ToolTipRole)
        return row.message.isEmpty() ? QVariant() : row.message;
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    QStringList authors;
    switch (index.column()) {
    case IsbnColumn:
        return role == Qt::EditRole || row.isbn.isEmpty() ? row.typed : row.isbn.hyphenated();
    case StateColumn:
        return stateText(row.state);
    case TitleColumn:
        return row.book.title.name;
    case AuthorColumn:
        for (const NameWithReading &author : row.book.authors)
            authors << author.name;
        return authors.join(QStringLiteral(" / "));
    case PublisherColumn:
        return row.book.publisher.name;
    }
    return {};
}

QVariant ScannedBooks::headerData(int section, Qt::Orientation orientation, int role) const {
    static const QString captions[Columns] = {QStringLiteral("ISBN"), QStringLiteral("状態"),
                                              QStringLiteral("題名"), QStringLiteral("著者"),
                                              QStringLiteral("発行所")};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < Columns)
        return captions[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags ScannedBooks::flags(const QModelIndex &index) const {
    const Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    return index.isValid() && index.column() == IsbnColumn ? flags | Qt::ItemIsEditable : flags;
}

bool ScannedBooks::setData(const QModelIndex &index, const QVariant &value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.column() != IsbnColumn)
        return false;
    m_rows[index.row()].typed = value.toString().trimmed();
    check(index.row());
    return true;
}

} // namespace hondana
