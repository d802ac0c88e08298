#pragma once

#include "db/Connection.h"
#include "widgets/WindowNames.h"

#include <QWidget>

class QLabel;
class QLineEdit;

namespace hondana {

// Finds a book by its ISBN, typed or scanned (a scanner types the digits and Enter), and moves
// the register to it. It stays open, so one scan after another each moves the register on.
class IsbnSearchWindow : public QWidget {
    Q_OBJECT
public:
    static inline const QString Name = windows::IsbnSearch;
    static inline const QString Caption = QStringLiteral("ISBNで探す");

    explicit IsbnSearchWindow(QWidget *parent = nullptr);

    // Finds the book of the ISBN in the field and moves the register to it; what happened is
    // said below the field. False when no book was shown.
    bool find();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void say(const QString &text);
    void refuse(const QString &text);

    Connection m_connection;
    QLineEdit *m_isbn = nullptr;
    QLabel *m_result = nullptr;
    bool m_placed = false;
};

} // namespace hondana
