#pragma once

#include "catalogue/BookLoans.h"
#include "catalogue/Isbn.h"
#include "catalogue/StoredReadings.h"
#include "widgets/DataSource.h"
#include "widgets/WindowNames.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace hondana {

class IsbnLookup;
class LookupSettings;
class ReadingSuggester;
struct LookupResult;

// Our own data of the register's current book, beside the register: the title's reading, with
// whether it is the user's or only suggested, the book's ISBN, and to whom it is lent. It follows
// the register's moves and saves with the register's book (更新, moving, closing): it is one more
// bound control of the register's books, so a reading that is no reading is refused before the book
// moves, as a field's bad value is, and the book's companion data, written with the book's row in
// one transaction.
class BookDetailsPanel : public QWidget, public BoundEditor {
    Q_OBJECT
public:
    static inline const QString Name = windows::BookDetails;
    static inline const QString Caption = QStringLiteral("詳細");
    static inline const QString SuggestedMark = QStringLiteral("（候補）");
    static inline const QString NoReadingMark = QStringLiteral("（未設定）");

    explicit BookDetailsPanel(QWidget *parent = nullptr);
    ~BookDetailsPanel() override;

    // Shows our data of the current book anew, after other code stored some; what the user is
    // editing stays.
    void reloadStoredData();
    // Shows anew to whom the book is lent, after the loans changed elsewhere.
    void reloadLoan();

    // The line that says to whom the book is out: "貸出中: 山田さん (2026/11/01〜)", with the date
    // due and whether it is past; empty for a book not lent.
    static QString loanLine(const Loan &loan, const QDate &today);

    void commitEdit() override;
    bool hasPendingEdit() const override;
    void discardEdit() override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void attachToRegister();
    void showCurrentBook();
    void showState();
    void suggest();
    void confirm();
    void readingEdited();
    void showLoan();
    // Asks to whom and when, and lends the book at once: a loan is no part of the book's row.
    void lend();
    void giveBack();
    // Shows a typed or scanned ISBN as it is kept, or says why it is none; a new book without a
    // title is looked up at once when look-ups are allowed.
    void isbnEntered();
    LookupSettings &lookupSettings();
    // Asks the search service for the ISBN's book, to fill the register's empty fields.
    void lookUp();
    void lookedUp(const LookupResult &result);
    void fill(const LookupResult &result);
    bool pending() const { return m_edited || m_isbnEdited; }
    // Writes what was edited as the book's, inside the book's save. Throws Failure.
    void store(qint64 bookRowId);
    QVariant companionValue(const QString &name) const;
    void bookSaved();
    StoredReadings::Origin origin() const;

    QPointer<DataSource> m_books;
    QLabel *m_title = nullptr;
    QLineEdit *m_reading = nullptr;
    QLabel *m_state = nullptr;
    QLineEdit *m_isbn = nullptr;
    QPushButton *m_suggest = nullptr;
    QPushButton *m_confirm = nullptr;
    QPushButton *m_lookUp = nullptr;
    QLabel *m_lookupState = nullptr;
    QLabel *m_loan = nullptr;
    QPushButton *m_lend = nullptr;
    QPushButton *m_giveBack = nullptr;

    std::unique_ptr<ReadingSuggester> m_suggester;
    std::unique_ptr<LookupSettings> m_lookupSettings;
    IsbnLookup *m_lookup = nullptr;
    // The ISBN asked for and the showing of a book it was asked for: an answer that arrives
    // after the register moved on belongs to no book shown.
    QString m_askedIsbn;
    int m_askedShowing = 0;
    int m_showing = 0;

    qint64 m_bookRowId = 0;
    qint64 m_writtenFor = 0;
    std::optional<StoredReadings::Reading> m_stored;
    Isbn m_storedIsbn;
    std::optional<Loan> m_openLoan;
    // Whether the field differs from what is stored, and whether what it holds is the user's.
    bool m_edited = false;
    bool m_userOwned = false;
    bool m_isbnEdited = false;
    bool m_placed = false;
};

} // namespace hondana
