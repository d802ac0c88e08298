#pragma once

#include "db/Connection.h"
#include "widgets/WindowNames.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTableView;

namespace hondana::collection {
class LoanListModel;
}

namespace hondana {

struct Loan;

// The books lent: those out now, overdue ones marked, or every loan ever made, of one borrower
// or of the register's book. A book comes back from here, and the register shows any listed
// book.
class LoansWindow : public QWidget {
    Q_OBJECT
public:
    static inline const QString Name = windows::Loans;
    static inline const QString Caption = QStringLiteral("貸出一覧");
    static inline const QString AllBorrowers = QStringLiteral("（すべて）");

    explicit LoansWindow(QWidget *parent = nullptr);
    ~LoansWindow() override;

    // Reads the loans anew, after they changed elsewhere; the selected loan stays selected.
    void reload();
    // Records the selected loan's book as back today, after the user confirms it.
    void returnSelected();
    // Stands the register on the selected loan's book.
    void showSelectedBook();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showButtons();
    const Loan *selectedLoan() const;
    void refillBorrowers(const QStringList &names);

    Connection m_connection;
    collection::LoanListModel *m_model = nullptr;
    QRadioButton *m_outNow = nullptr;
    QRadioButton *m_history = nullptr;
    QComboBox *m_borrower = nullptr;
    QCheckBox *m_thisBook = nullptr;
    QTableView *m_view = nullptr;
    QLabel *m_summary = nullptr;
    QPushButton *m_return = nullptr;
    QPushButton *m_show = nullptr;
    bool m_placed = false;
};

} // namespace hondana
