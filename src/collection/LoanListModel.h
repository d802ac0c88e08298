#pragma once

#include "catalogue/BookLoans.h"
#include "catalogue/JapaneseOrder.h"

#include <QAbstractTableModel>
#include <QDate>

namespace hondana::collection {

// Loans as the loans window lists them: the book, to whom, the dates, and whether it is out,
// back, or past its due date. Sorted by any column; titles and names in Japanese order.
class LoanListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        TitleColumn,
        BorrowerColumn,
        LentColumn,
        DueColumn,
        ReturnedColumn,
        StateColumn,
        ColumnCount
    };
    static inline const QString OverdueMark = QStringLiteral("期限切れ");

    explicit LoanListModel(QObject *parent = nullptr);

    // Shows `loans`, judged overdue against `today`, in the order last asked for.
    void setLoans(QList<Loan> loans, const QDate &today);
    const Loan &loanAt(int row) const { return m_loans.at(row); }
    // The row of the loan `id`; -1 when it is not listed.
    int rowOf(qint64 loanId) const;
    int overdueCount() const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    void sortLoans();
    bool before(const Loan &a, const Loan &b) const;

    QList<Loan> m_loans;
    QDate m_today;
    JapaneseOrder m_japanese;
    int m_sortColumn = TitleColumn;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

} // namespace hondana::collection
