#include "collection/LoansWindow.h"

#include "base/Failure.h"
#include "catalogue/BookLoans.h"
#include "collection/CollectionWindows.h"
#include "collection/LoanListModel.h"
#include "db/ConnectionString.h"
#include "db/RecordSet.h"
#include "widgets/BusyCursor.h"
#include "widgets/CommandControls.h"
#include "widgets/DataSource.h"
#include "widgets/EscapeCloses.h"
#include "widgets/MessageService.h"
#include "widgets/WindowPlacement.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

namespace hondana {

using collection::LoanListModel;

namespace {

qint64 registerBookRowId() {
    const DataSource *books = collection::registerBooks();
    return books && books->recordSet().isOpen() && books->recordSet().hasCurrent()
               ? books->recordSet().currentRowId()
               : 0;
}

} // namespace

LoansWindow::LoansWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), m_connection(CatalogueLinkConnection) {
    setObjectName(Name);
    setWindowTitle(Caption);
    setAttribute(Qt::WA_DeleteOnClose);

    m_outNow = new QRadioButton(QStringLiteral("貸出中(&O)"), this);
    m_outNow->setObjectName(QStringLiteral("optOutNow"));
    m_outNow->setAccessibleName(QStringLiteral("貸出中の本"));
    m_outNow->setChecked(true);
    m_history = new QRadioButton(QStringLiteral("履歴(&H)"), this);
    m_history->setObjectName(QStringLiteral("optHistory"));
    m_history->setAccessibleName(QStringLiteral("貸出の履歴"));
    m_borrower = new QComboBox(this);
    m_borrower->setObjectName(QStringLiteral("cboBorrower"));
    m_borrower->setAccessibleName(QStringLiteral("貸出先で絞り込む"));
    m_borrower->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_thisBook = new QCheckBox(QStringLiteral("登録画面の本だけ(&B)"), this);
    m_thisBook->setObjectName(QStringLiteral("chkThisBook"));
    m_thisBook->setAccessibleName(QStringLiteral("登録画面の本だけ"));

    m_model = new LoanListModel(this);
    m_view = new QTableView(this);
    setUpRowList(m_view, QStringLiteral("grdLoans"), QStringLiteral("貸出"));
    m_view->setModel(m_model);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSortingEnabled(true);
    m_view->sortByColumn(LoanListModel::TitleColumn, Qt::AscendingOrder);
    m_view->horizontalHeader()->setSectionResizeMode(LoanListModel::TitleColumn,
                                                     QHeaderView::Stretch);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("lblSummary"));
    m_summary->setAccessibleName(QStringLiteral("件数"));

    m_return = makeCommandButton(this, QStringLiteral("cmdReturn"), QStringLiteral("返却(&R)"),
                                 QStringLiteral("返却"));
    m_return->setToolTip(QStringLiteral("選んだ本が今日返ってきたことを記録します"));
    m_show =
        makeCommandButton(this, QStringLiteral("cmdShowBook"), QStringLiteral("登録画面に表示(&V)"),
                          QStringLiteral("登録画面に表示"));
    QPushButton *closeButton = makeCommandButton(
        this, QStringLiteral("cmdClose"), QStringLiteral("閉じる(&C)"), QStringLiteral("閉じる"));

    auto *borrowerLabel = new QLabel(QStringLiteral("貸出先(&N):"), this);
    borrowerLabel->setBuddy(m_borrower);
    auto *choices = new QHBoxLayout;
    choices->addWidget(m_outNow);
    choices->addWidget(m_history);
    choices->addSpacing(12);
    choices->addWidget(borrowerLabel);
    choices->addWidget(m_borrower);
    choices->addWidget(m_thisBook);
    choices->addStretch(1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_summary, 1);
    buttons->addWidget(m_return);
    buttons->addWidget(m_show);
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(choices);
    layout->addWidget(m_view, 1);
    layout->addLayout(buttons);
    resize(640, 360);

    connect(m_outNow, &QRadioButton::toggled, this, &LoansWindow::reload);
    connect(m_borrower, &QComboBox::activated, this, &LoansWindow::reload);
    connect(m_thisBook, &QCheckBox::toggled, this, &LoansWindow::reload);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &LoansWindow::showButtons);
    connect(m_view, &QTableView::activated, this, &LoansWindow::showSelectedBook);
    connect(m_return, &QPushButton::clicked, this, &LoansWindow::returnSelected);
    connect(m_show, &QPushButton::clicked, this, &LoansWindow::showSelectedBook);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    EscapeCloses::install(this, closeButton);
    setTabOrder(m_outNow, m_history);
    setTabOrder(m_history, m_borrower);
    setTabOrder(m_borrower, m_thisBook);
    setTabOrder(m_thisBook, m_view);
    setTabOrder(m_view, m_return);
    setTabOrder(m_return, m_show);
    setTabOrder(m_show, closeButton);
    collection::closeWithRegister(this);
    if (DataSource *books = collection::registerBooks()) {
        connect(&books->recordSet(), &RecordSet::moveComplete, this, [this] {
            if (m_history->isChecked() && m_thisBook->isChecked())
                reload();
        });
    }
    reload();
}

LoansWindow::~LoansWindow() = default;

void LoansWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    m_view->setFocus();
    placement::besideRegister(this, {windows::BookDetails, windows::IsbnSearch});
}

void LoansWindow::refillBorrowers(const QStringList &names) {
    const QString chosen = m_borrower->currentIndex() > 0 ? m_borrower->currentText() : QString();
    m_borrower->clear();
    m_borrower->addItem(AllBorrowers);
    m_borrower->addItems(names);
    m_borrower->setCurrentIndex(qMax(0, m_borrower->findText(chosen)));
}

void LoansWindow::reload() {
    const bool history = m_history->isChecked();
    m_borrower->setEnabled(history);
    m_thisBook->setEnabled(history);
    const Loan *selected = selectedLoan();
    const qint64 keep = selected ? selected->id : 0;
    QList<Loan> loans;
    try {
        BusyCursor busy;
        m_connection.open();
        BookLoans stored(m_connection);
        refillBorrowers(stored.borrowers());
        if (!history) {
            loans = stored.openLoans();
        } else {
            const qint64 book = m_thisBook->isChecked() ? registerBookRowId() : 0;
            if (!m_thisBook->isChecked() || book != 0)
                loans = stored.history(
                    book, m_borrower->currentIndex() > 0 ? m_borrower->currentText() : QString());
        }
    } catch (const Failure &failure) {
        MessageService::instance().notice(failure.message(), Caption,
                                          MessageService::Icon::Warning);
    }
    m_model->setLoans(std::move(loans), QDate::currentDate());
    m_view->setColumnHidden(LoanListModel::ReturnedColumn, !history);
    const int row = m_model->rowOf(keep);
    m_view->selectRow(row >= 0 ? row : 0);
    const int overdue = m_model->overdueCount();
    m_summary->setText(history       ? QStringLiteral("%1 件").arg(m_model->rowCount())
                       : overdue > 0 ? QStringLiteral("貸出中 %1 冊（うち期限切れ %2 冊）")
                                           .arg(m_model->rowCount())
                                           .arg(overdue)
                                     : QStringLiteral("貸出中 %1 冊").arg(m_model->rowCount()));
    showButtons();
}

const Loan *LoansWindow::selectedLoan() const {
    const QModelIndexList rows = m_view->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : &m_model->loanAt(rows.first().row());
}

void LoansWindow::showButtons() {
    const Loan *loan = selectedLoan();
    m_return->setEnabled(loan && loan->isOpen());
    m_show->setEnabled(loan != nullptr);
}

void LoansWindow::returnSelected() {
    const Loan *loan = selectedLoan();
    if (!loan || !loan->isOpen())
        return;
    MessageService &messages = MessageService::instance();
    if (!messages.confirm(QStringLiteral("「%1」が%2さんから返ってきたことを記録しますか？")
                              .arg(loan->title, loan->borrower),
                          Caption))
        return;
    try {
        BookLoans(m_connection).giveBack(loan->id, QDate::currentDate());
    } catch (const Failure &failure) {
        messages.notice(failure.message(), Caption, MessageService::Icon::Warning);
    }
    collection::loansChanged();
}

void LoansWindow::showSelectedBook() {
    if (const Loan *loan = selectedLoan())
        collection::showBookInRegister(loan->bookRowId);
}

} // namespace hondana
