#pragma once

#include <QDate>
#include <QDialog>

class QCheckBox;
class QDateEdit;
class QLineEdit;

namespace hondana {

// Asks to whom a book is lent, from when (today unless changed) and, if the user sets one, until
// when. The names lent to before are offered as the user types; a name is stored as typed.
class LendDialog : public QDialog {
    Q_OBJECT
public:
    static inline const QString Caption = QStringLiteral("貸す");

    LendDialog(const QString &title, const QStringList &knownBorrowers, const QDate &today,
               QWidget *parent = nullptr);

    QString borrower() const;
    QDate lentOn() const;
    // Invalid when no date due was set.
    QDate dueOn() const;

    // Refuses a blank name and a due date before the lending date, saying so where it is wrong.
    void accept() override;

private:
    QLineEdit *m_borrower = nullptr;
    QDateEdit *m_lentOn = nullptr;
    QCheckBox *m_hasDue = nullptr;
    QDateEdit *m_dueOn = nullptr;
};

} // namespace hondana
