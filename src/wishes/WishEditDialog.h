#pragma once

#include "catalogue/WishList.h"

#include <QDialog>

class QComboBox;
class QLineEdit;

namespace hondana {

// One wish to add or change: title, author, ISBN, note and priority. OK keeps the dialog open,
// with a message, while the title is empty or the ISBN is not one.
class WishEditDialog : public QDialog {
    Q_OBJECT

public:
    static inline const QString Name = QStringLiteral("HOSHIIEDIT");

    WishEditDialog(const Wish &wish, const QString &caption, QWidget *parent = nullptr);

    // The wish as the user left it; its id and date are the ones given.
    Wish wish() const { return m_wish; }

    void accept() override;

private:
    QLineEdit *addLine(const char *name, const QString &text);

    Wish m_wish;
    QLineEdit *m_title = nullptr;
    QLineEdit *m_author = nullptr;
    QLineEdit *m_isbn = nullptr;
    QLineEdit *m_note = nullptr;
    QComboBox *m_priority = nullptr;
};

} // namespace hondana
