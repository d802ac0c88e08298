#include "collection/LoanListModel.h"

#include <QBrush>
#include <QPalette>
#include <algorithm>

namespace hondana::collection {

namespace {

QString shownDate(const QDate &date) {
    return date.isValid() ? date.toString(QStringLiteral("yyyy/MM/dd")) : QString();
}

} // namespace

LoanListModel::LoanListModel(QObject *parent) : QAbstractTableModel(parent) {}

void LoanListModel::setLoans(QList<Loan> loans, const QDate &today) {
    beginResetModel();
    m_loans = std::move(loans);
    m_today = today;
    sortLoans();
    endResetModel();
}

int LoanListModel::rowOf(qint64 loanId) const {
    for (int row = 0; row < m_loans.size(); ++row) {
        if (m_loans[row].id == loanId)
            return row;
    }
    return -1;
}

int LoanListModel::overdueCount() const {
    return int(std::count_if(m_loans.begin(), m_loans.end(),
                             [&](const Loan &loan) { return loan.isOverdue(m_today); }));
}

int LoanListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_loans.size());
}

int LoanListModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LoanListModel::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const Loan &loan = m_loans.at(index.row());
    const bool overdue = loan.isOverdue(m_today);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        switch (index.column()) {
        case TitleColumn:
            return loan.title;
        case BorrowerColumn:
            return loan.borrower;
        case LentColumn:
            return shownDate(loan.lentOn);
        case DueColumn:
            return shownDate(loan.dueOn);
        case ReturnedColumn:
            return shownDate(loan.returnedOn);
        case StateColumn:
            return overdue         ? OverdueMark
                   : loan.isOpen() ? QStringLiteral("貸出中")
                                   : QStringLiteral("返却済");
        }
        break;
    case Qt::ForegroundRole:
        // Marked in words too, for who cannot tell the colour.
        if (overdue && (index.column() == DueColumn || index.column() == StateColumn))
            return QBrush(Qt::red);
        break;
    case Qt::ToolTipRole:
        if (index.column() == TitleColumn)
            return loan.titleReading;
        break;
    }
    return {};
}

QVariant LoanListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const QString headers[ColumnCount] = {
        QStringLiteral("題名"),       QStringLiteral("貸出先"), QStringLiteral("貸出日"),
        QStringLiteral("返却予定日"), QStringLiteral("返却日"), QStringLiteral("状態")};
    return section >= 0 && section < ColumnCount ? headers[section] : QVariant();
}

void LoanListModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount)
        return;
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QList<qint64> ids;
    for (const QModelIndex &index : before)
        ids << m_loans.at(index.row()).id;
    m_sortColumn = column;
    m_sortOrder = order;
    sortLoans();
    QModelIndexList after;
    for (qsizetype i = 0; i < before.size(); ++i)
        after << index(rowOf(ids[i]), before[i].column());
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void LoanListModel::sortLoans() {
    std::stable_sort(m_loans.begin(), m_loans.end(), [this](const Loan &a, const Loan &b) {
        return m_sortOrder == Qt::AscendingOrder ? before(a, b) : before(b, a);
    });
}

// Dates an entry lacks sort last, as the loans that are not due or not back yet.
bool LoanListModel::before(const Loan &a, const Loan &b) const {
    const auto byDate = [](const QDate &x, const QDate &y) {
        return x.isValid() && (!y.isValid() || x < y);
    };
    switch (m_sortColumn) {
    case BorrowerColumn:
        return m_japanese.compare(a.borrower, {}, b.borrower, {}) < 0;
    case LentColumn:
        return a.lentOn < b.lentOn;
    case DueColumn:
        return byDate(a.dueOn, b.dueOn);
    case ReturnedColumn:
        return byDate(a.returnedOn, b.returnedOn);
    case StateColumn:
        return a.isOverdue(m_today) > b.isOverdue(m_today) ||
               (a.isOverdue(m_today) == b.isOverdue(m_today) && a.isOpen() > b.isOpen());
    default:
        return m_japanese.compare(a.title, a.titleReading, b.title, b.titleReading) < 0;
    }
}

} // namespace hondana::collection
