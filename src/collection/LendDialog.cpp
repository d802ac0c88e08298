#include "collection/LendDialog.h"

#include "catalogue/BookLoans.h"
#include "widgets/BoundTextBox.h"
#include "widgets/MessageService.h"

#include <QCheckBox>
#include <QCompleter>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace hondana {

namespace {

QDateEdit *makeLoanDate(QWidget *parent, const char *name, const QString &accessibleName,
                        const QDate &date) {
    auto *edit = new QDateEdit(date, parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setAccessibleName(accessibleName);
    edit->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    edit->setCalendarPopup(true);
    return edit;
}

} // namespace

LendDialog::LendDialog(const QString &title, const QStringList &knownBorrowers, const QDate &today,
                       QWidget *parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("LendDialog"));
    setWindowTitle(Caption);

    auto *book = new QLabel(title, this);
    book->setObjectName(QStringLiteral("lblBook"));
    book->setAccessibleName(QStringLiteral("貸す本"));
    book->setWordWrap(true);
    m_borrower = new QLineEdit(this);
    m_borrower->setObjectName(QStringLiteral("txtBorrower"));
    m_borrower->setAccessibleName(QStringLiteral("貸出先"));
    m_borrower->setMaxLength(BookLoans::MaxBorrowerLength);
    m_borrower->setToolTip(QStringLiteral("貸す相手の名前です（「さん」は付けずに）"));
    InputMethod::apply(m_borrower, true);
    auto *completer = new QCompleter(knownBorrowers, m_borrower);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchContains);
    m_borrower->setCompleter(completer);
    m_lentOn = makeLoanDate(this, "dtpLentOn", QStringLiteral("貸出日"), today);
    m_hasDue = new QCheckBox(QStringLiteral("返却予定日(&D):"), this);
    m_hasDue->setObjectName(QStringLiteral("chkDue"));
    m_hasDue->setAccessibleName(QStringLiteral("返却予定日を決める"));
    m_dueOn = makeLoanDate(this, "dtpDueOn", QStringLiteral("返却予定日"), today.addDays(14));
    m_dueOn->setEnabled(false);

    auto *borrowerLabel = new QLabel(QStringLiteral("貸出先(&N):"), this);
    borrowerLabel->setBuddy(m_borrower);
    auto *lentLabel = new QLabel(QStringLiteral("貸出日(&L):"), this);
    lentLabel->setBuddy(m_lentOn);
    auto *fields = new QFormLayout;
    fields->addRow(QStringLiteral("本:"), book);
    fields->addRow(borrowerLabel, m_borrower);
    fields->addRow(lentLabel, m_lentOn);
    fields->addRow(m_hasDue, m_dueOn);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton *ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(QStringLiteral("貸す(&O)"));
    ok->setObjectName(QStringLiteral("cmdLend"));
    ok->setAccessibleName(QStringLiteral("貸す"));
    QPushButton *cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setText(QStringLiteral("キャンセル"));
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    cancel->setAccessibleName(QStringLiteral("キャンセル"));
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(buttons);

    connect(m_hasDue, &QCheckBox::toggled, m_dueOn, &QWidget::setEnabled);
    connect(buttons, &QDialogButtonBox::accepted, this, &LendDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &LendDialog::reject);
    m_borrower->setFocus();
}

QString LendDialog::borrower() const {
    return m_borrower->text().trimmed();
}

QDate LendDialog::lentOn() const {
    return m_lentOn->date();
}

QDate LendDialog::dueOn() const {
    return m_hasDue->isChecked() ? m_dueOn->date() : QDate();
}

void LendDialog::accept() {
    QWidget *wrong = nullptr;
    QString why;
    if (borrower().isEmpty()) {
        wrong = m_borrower;
        why = QStringLiteral("貸出先を入力してください。");
    } else if (dueOn().isValid() && dueOn() < lentOn()) {
        wrong = m_dueOn;
        why = QStringLiteral("返却予定日が貸出日より前になっています。");
    }
    if (wrong) {
        MessageService::instance().notice(why, Caption, MessageService::Icon::Warning);
        wrong->setFocus();
        return;
    }
    QDialog::accept();
}

} // namespace hondana
