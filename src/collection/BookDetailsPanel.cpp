#include "collection/BookDetailsPanel.h"

#include "catalogue/OwnedCopies.h"
#include "catalogue/ReadingSuggester.h"
#include "catalogue/ReadingText.h"
#include "catalogue/StoredIsbns.h"
#include "catalogue/StoredReadings.h"
#include "collection/CollectionWindows.h"
#include "collection/LendDialog.h"
#include "collection/LookupFill.h"
#include "db/RecordSet.h"
#include "lookup/IncomingFromLookup.h"
#include "lookup/IsbnLookup.h"
#include "lookup/LookupSettings.h"
#include "widgets/BoundTextBox.h"
#include "widgets/BusyCursor.h"
#include "widgets/CommandControls.h"
#include "widgets/EscapeCloses.h"
#include "widgets/LookupConsent.h"
#include "widgets/MessageService.h"
#include "widgets/RecordCommands.h"
#include "widgets/WindowPlacement.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace hondana {

namespace {

const QString TitleColumn = QStringLiteral("題名");

} // namespace

BookDetailsPanel::BookDetailsPanel(QWidget *parent) : QWidget(parent, Qt::Window) {
    setObjectName(Name);
    setWindowTitle(Caption);
    setAttribute(Qt::WA_DeleteOnClose);

    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("lblTitle"));
    m_title->setAccessibleName(QStringLiteral("題名"));
    m_title->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_title->setWordWrap(true);

    m_reading = new QLineEdit(this);
    m_reading->setObjectName(QStringLiteral("txtReading"));
    m_reading->setAccessibleName(QStringLiteral("題名の読み"));
    m_reading->setToolTip(QStringLiteral("カタカナで入力します（ひらがなはカタカナになります）"));
    InputMethod::apply(m_reading, true);
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("lblReadingState"));
    m_state->setAccessibleName(QStringLiteral("読みの状態"));

    m_isbn = new QLineEdit(this);
    m_isbn->setObjectName(QStringLiteral("txtIsbn"));
    m_isbn->setAccessibleName(QStringLiteral("ISBN"));
    m_isbn->setToolTip(QStringLiteral("ISBN-10 か ISBN-13 を入力するか、バーコードを読み取ります"));
    m_isbn->setMaxLength(40);
    InputMethod::apply(m_isbn, false);

    m_suggest = makeCommandButton(this, QStringLiteral("cmdSuggest"), QStringLiteral("候補(&S)"));
    m_suggest->setToolTip(QStringLiteral("題名から読みの候補を作ります"));
    m_confirm = makeCommandButton(this, QStringLiteral("cmdConfirm"), QStringLiteral("確定(&F)"));
    m_confirm->setToolTip(QStringLiteral("候補の読みをこのまま確定します"));
    m_lookUp = makeCommandButton(this, QStringLiteral("cmdLookup"), QStringLiteral("照会(&L)"));
    m_lookUp->setToolTip(QStringLiteral(
        "ISBN を国立国会図書館に送って書誌を照会し、登録画面の空いている欄を埋めます"));
    m_lookupState = new QLabel(this);
    m_lookupState->setObjectName(QStringLiteral("lblLookupState"));
    m_lookupState->setAccessibleName(QStringLiteral("照会の状態"));
    m_lookupState->setWordWrap(true);
    // Room for what a look-up filled, so the panel does not jump when it is said.
    m_lookupState->setMinimumHeight(2 * m_lookupState->fontMetrics().lineSpacing());
    m_loan = new QLabel(this);
    m_loan->setObjectName(QStringLiteral("lblLoan"));
    m_loan->setAccessibleName(QStringLiteral("貸出"));
    m_loan->setWordWrap(true);
    m_lend = makeCommandButton(this, QStringLiteral("cmdLend"), QStringLiteral("貸す(&K)..."),
                               QStringLiteral("貸す"));
    m_lend->setToolTip(QStringLiteral("この本を貸したことを記録します"));
    m_giveBack = makeCommandButton(this, QStringLiteral("cmdReturn"), QStringLiteral("返却(&H)"));
    m_giveBack->setToolTip(QStringLiteral("この本が今日返ってきたことを記録します"));
    QPushButton *closeButton =
        makeCommandButton(this, QStringLiteral("cmdClose"), QStringLiteral("閉じる(&C)"));

    auto *titleLabel = new QLabel(QStringLiteral("題名:"), this);
    auto *readingLabel = new QLabel(QStringLiteral("読み(&Y):"), this);
    readingLabel->setBuddy(m_reading);
    auto *readingRow = new QHBoxLayout;
    readingRow->addWidget(m_reading, 1);
    readingRow->addWidget(m_state);
    auto *fields = new QFormLayout;
    fields->addRow(titleLabel, m_title);
    fields->addRow(readingLabel, readingRow);
    auto *isbnLabel = new QLabel(QStringLiteral("ISBN(&I):"), this);
    isbnLabel->setBuddy(m_isbn);
    auto *isbnRow = new QHBoxLayout;
    isbnRow->addWidget(m_isbn, 1);
    isbnRow->addWidget(m_lookUp);
    fields->addRow(isbnLabel, isbnRow);
    fields->addRow(QString(), m_lookupState);
    // The line has the row to itself: with a date due it is as wide as the panel.
    fields->addRow(QStringLiteral("貸出:"), m_loan);
    auto *loanButtons = new QHBoxLayout;
    loanButtons->addWidget(m_lend);
    loanButtons->addWidget(m_giveBack);
    loanButtons->addStretch(1);
    fields->addRow(QString(), loanButtons);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_suggest);
    buttons->addWidget(m_confirm);
    buttons->addStretch(1);
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addStretch(1);
    layout->addLayout(buttons);
    resize(360, sizeHint().height());

    connect(m_reading, &QLineEdit::textEdited, this, &BookDetailsPanel::readingEdited);
    connect(m_isbn, &QLineEdit::textEdited, this, [this] { m_isbnEdited = true; });
    connect(m_isbn, &QLineEdit::returnPressed, this, &BookDetailsPanel::isbnEntered);
    connect(m_suggest, &QPushButton::clicked, this, &BookDetailsPanel::suggest);
    connect(m_confirm, &QPushButton::clicked, this, &BookDetailsPanel::confirm);
    connect(m_lookUp, &QPushButton::clicked, this, &BookDetailsPanel::lookUp);
    connect(m_lend, &QPushButton::clicked, this, &BookDetailsPanel::lend);
    connect(m_giveBack, &QPushButton::clicked, this, &BookDetailsPanel::giveBack);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    EscapeCloses::install(this, closeButton);
    setTabOrder(m_reading, m_isbn);
    setTabOrder(m_isbn, m_lookUp);
    setTabOrder(m_lookUp, m_lend);
    setTabOrder(m_lend, m_giveBack);
    setTabOrder(m_giveBack, m_suggest);
    setTabOrder(m_suggest, m_confirm);
    setTabOrder(m_confirm, closeButton);

    attachToRegister();
}

BookDetailsPanel::~BookDetailsPanel() {
    if (m_books) {
        m_books->removeBoundEditor(this);
        m_books->recordSet().setCompanion({});
    }
}

void BookDetailsPanel::attachToRegister() {
    m_books = collection::registerBooks();
    collection::closeWithRegister(this);
    if (m_books) {
        m_books->addBoundEditor(this);
        RecordSet *set = &m_books->recordSet();
        // The reading is written after the book's row, in its transaction, with its rowid: a new
        // book's reading too.
        set->setCompanion({[this] { return pending(); }, [this](qint64 rowId) { store(rowId); },
                           [this](const QString &name) { return companionValue(name); }});
        connect(set, &RecordSet::rowChanged, this, &BookDetailsPanel::bookSaved);
        connect(set, &RecordSet::moveComplete, this, &BookDetailsPanel::showCurrentBook);
        connect(set, &RecordSet::rowsReset, this, &BookDetailsPanel::showCurrentBook);
        connect(set, &RecordSet::rowRemoved, this, &BookDetailsPanel::showCurrentBook);
        connect(set, &RecordSet::editCancelled, this, &BookDetailsPanel::showCurrentBook);
    }
    showCurrentBook();
}

// A reading typed and not yet saved is saved with the book, as leaving the book would; when it
// cannot be, the panel stays with the reason shown.
void BookDetailsPanel::closeEvent(QCloseEvent *event) {
    if (pending() && m_books && !savePendingChange(*m_books)) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void BookDetailsPanel::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    placement::besideRegister(this, {windows::IsbnSearch});
}

void BookDetailsPanel::showCurrentBook() {
    ++m_showing;
    m_lookupState->clear();
    m_edited = false;
    m_userOwned = false;
    m_isbnEdited = false;
    m_stored.reset();
    m_storedIsbn = Isbn();
    m_openLoan.reset();
    const RecordSet *set = m_books ? &m_books->recordSet() : nullptr;
    const bool onBook = set && set->isOpen() && set->hasCurrent();
    m_bookRowId = onBook ? set->currentRowId() : 0;
    m_title->setText(onBook ? set->value(TitleColumn).toString().trimmed() : QString());
    if (m_bookRowId > 0) {
        try {
            m_stored = StoredReadings(m_books->connection()).title(m_bookRowId);
            m_storedIsbn = StoredIsbns(m_books->connection()).forBook(m_bookRowId);
            m_openLoan = BookLoans(m_books->connection()).openLoanOf(m_bookRowId);
        } catch (const Failure &failure) {
            MessageService::instance().notice(failure.message());
        }
    }
    m_reading->setText(m_stored ? m_stored->text : QString());
    m_isbn->setText(m_storedIsbn.hyphenated());
    m_userOwned = m_stored && m_stored->origin == StoredReadings::Origin::User;
    for (QWidget *control : {static_cast<QWidget *>(m_reading), static_cast<QWidget *>(m_isbn),
                             static_cast<QWidget *>(m_suggest), static_cast<QWidget *>(m_lookUp)})
        control->setEnabled(onBook);
    showState();
    showLoan();
}

QString BookDetailsPanel::loanLine(const Loan &loan, const QDate &today) {
    const QString format = QStringLiteral("yyyy/MM/dd");
    QString line =
        QStringLiteral("貸出中: %1さん (%2〜").arg(loan.borrower, loan.lentOn.toString(format));
    if (loan.dueOn.isValid())
        line += QStringLiteral("%1 返却予定").arg(loan.dueOn.toString(format));
    line += QLatin1Char(')');
    if (loan.isOverdue(today))
        line += QStringLiteral(" 期限切れ");
    return line;
}

// A book not yet saved has no identity a loan could hold on to.
void BookDetailsPanel::showLoan() {
    m_loan->setText(m_openLoan ? loanLine(*m_openLoan, QDate::currentDate()) : QString());
    m_lend->setEnabled(m_bookRowId > 0 && !m_openLoan);
    m_giveBack->setEnabled(m_openLoan.has_value());
}

void BookDetailsPanel::lend() {
    if (m_bookRowId <= 0 || !m_books)
        return;
    MessageService &messages = MessageService::instance();
    try {
        BookLoans loans(m_books->connection());
        LendDialog dialog(m_title->text(), loans.borrowers(), QDate::currentDate(), this);
        if (dialog.exec() != QDialog::Accepted)
            return;
        loans.lend(m_bookRowId, dialog.borrower(), dialog.lentOn(), dialog.dueOn());
    } catch (const Failure &failure) {
        messages.notice(failure.message(), LendDialog::Caption, MessageService::Icon::Warning);
    }
    collection::loansChanged();
}

void BookDetailsPanel::giveBack() {
    if (!m_openLoan || !m_books)
        return;
    try {
        BookLoans(m_books->connection()).giveBack(m_openLoan->id, QDate::currentDate());
    } catch (const Failure &failure) {
        MessageService::instance().notice(failure.message(), QStringLiteral("返却"),
                                          MessageService::Icon::Warning);
    }
    collection::loansChanged();
}

void BookDetailsPanel::showState() {
    const bool hasText = !m_reading->text().trimmed().isEmpty();
    m_state->setText(!hasText ? NoReadingMark : m_userOwned ? QString() : SuggestedMark);
    m_confirm->setEnabled(m_reading->isEnabled() && hasText && !m_userOwned);
}

void BookDetailsPanel::readingEdited() {
    m_edited = true;
    m_userOwned = true;
    showState();
}

void BookDetailsPanel::suggest() {
    const QString title = m_title->text();
    QString suggestion;
    try {
        BusyCursor busy;
        if (!m_suggester)
            m_suggester = std::make_unique<ReadingSuggester>();
        suggestion = m_suggester->suggest(title, ReadingKind::Title);
    } catch (const Failure &failure) {
        MessageService::instance().notice(failure.message());
        return;
    }
    if (suggestion.isEmpty()) {
        MessageService::instance().notice(
            QStringLiteral("「%1」の読みを推測できません。カタカナで入力してください。")
                .arg(title));
        m_reading->setFocus();
        return;
    }
    m_reading->setText(suggestion);
    m_edited = true;
    m_userOwned = false;
    showState();
}

void BookDetailsPanel::confirm() {
    m_edited = true;
    m_userOwned = true;
    showState();
    m_reading->setFocus();
}

// A scanner ends with Enter: the number is shown as kept at once, or refused while the book is
// still in the user's hand.
void BookDetailsPanel::isbnEntered() {
    try {
        m_isbn->setText(Isbn::fromText(m_isbn->text()).hyphenated());
    } catch (const Failure &failure) {
        MessageService::instance().notice(failure.message());
        m_isbn->setFocus();
        m_isbn->selectAll();
        return;
    }
    const RecordSet &set = m_books->recordSet();
    if (!m_isbn->text().isEmpty() && set.currentRowId() == 0 &&
        set.value(TitleColumn).toString().trimmed().isEmpty() &&
        lookupSettings().consent() == LookupSettings::Consent::Allowed)
        lookUp();
}

LookupSettings &BookDetailsPanel::lookupSettings() {
    if (!m_lookupSettings)
        m_lookupSettings = std::make_unique<LookupSettings>();
    return *m_lookupSettings;
}

void BookDetailsPanel::lookUp() {
    MessageService &messages = MessageService::instance();
    Isbn isbn;
    try {
        isbn = Isbn::fromText(m_isbn->text());
    } catch (const Failure &failure) {
        messages.notice(failure.message());
        m_isbn->setFocus();
        return;
    }
    if (isbn.isEmpty()) {
        messages.notice(
            QStringLiteral("照会する ISBN を入力するか、バーコードを読み取ってください。"));
        m_isbn->setFocus();
        return;
    }
    if (!askLookupConsentOnce(lookupSettings())) {
        messages.notice(QStringLiteral("国立国会図書館への照会は許可されていません。"
                                       "棚のスキャンの画面で許可できます。"));
        return;
    }
    if (!m_lookup) {
        m_lookup = new IsbnLookup(lookupSettings().serviceAddress(), QString(), this);
        m_lookupState->setToolTip(m_lookup->cacheProblem()); // look-ups go on, without the cache
        connect(m_lookup, &IsbnLookup::finished, this, &BookDetailsPanel::lookedUp);
    }
    m_isbn->setText(isbn.hyphenated());
    m_askedIsbn = isbn.digits();
    m_askedShowing = m_showing;
    m_lookUp->setEnabled(false);
    m_lookupState->setText(QStringLiteral("照会中…"));
    m_lookup->lookUp(isbn);
}

void BookDetailsPanel::lookedUp(const LookupResult &result) {
    if (result.isbn.digits() != m_askedIsbn)
        return;
    m_askedIsbn.clear();
    m_lookUp->setEnabled(m_isbn->isEnabled());
    m_lookupState->clear();
    MessageService &messages = MessageService::instance();
    if (m_askedShowing != m_showing) {
        messages.notice(QStringLiteral("照会の答えが届いたときには、登録画面は別の本に移って"
                                       "いました。何も書き込みません。"));
        return;
    }
    switch (result.outcome) {
    case LookupResult::Outcome::Found:
        fill(result);
        break;
    case LookupResult::Outcome::NotFound:
        messages.notice(
            QStringLiteral("ISBN %1 の本は見つかりませんでした。").arg(result.isbn.hyphenated()));
        break;
    case LookupResult::Outcome::Failed:
        messages.notice(result.message, {}, MessageService::Icon::Warning);
        break;
    }
}

// What the service knows goes into the fields the user has left empty; the register keeps the
// book pending until the user saves it, as a typed one.
void BookDetailsPanel::fill(const LookupResult &result) {
    const IncomingBook found = incomingFromLookup(result.book);
    QStringList filled;
    try {
        BusyCursor busy;
        filled = fillRegisterBook(*m_books, found);
    } catch (const RefusedEdit &) {
        return; // the register has said why
    } catch (const Failure &failure) {
        MessageService::instance().notice(failure.message(), {}, MessageService::Icon::Warning);
        return;
    }
    m_title->setText(m_books->recordSet().value(TitleColumn).toString().trimmed());
    const QString reading = readings::toKatakana(found.titleReading.trimmed());
    // The service's reading is of its title, not of one the user typed.
    if (filled.contains(TitleColumn) && m_reading->text().trimmed().isEmpty() &&
        readings::isValidReading(reading)) {
        m_reading->setText(reading);
        m_edited = true;
        m_userOwned = true;
        showState();
        filled << QStringLiteral("題名読み");
    }
    if (m_storedIsbn != result.isbn)
        m_isbnEdited = true;
    m_lookupState->setText(
        filled.isEmpty()
            ? QStringLiteral("照会しました。空いている欄はありませんでした。")
            : QStringLiteral("照会して埋めた欄: %1").arg(filled.join(QStringLiteral("、"))));
}

void BookDetailsPanel::reloadStoredData() {
    if (!pending())
        showCurrentBook();
}

void BookDetailsPanel::reloadLoan() {
    m_openLoan.reset();
    if (m_bookRowId > 0 && m_books) {
        try {
            m_openLoan = BookLoans(m_books->connection()).openLoanOf(m_bookRowId);
        } catch (const Failure &failure) {
            MessageService::instance().notice(failure.message());
        }
    }
    showLoan();
}

bool BookDetailsPanel::hasPendingEdit() const {
    return pending();
}

void BookDetailsPanel::discardEdit() {
    showCurrentBook();
}

// Called before the register's book moves or is written, so a reading that is no reading stops
// the move as a field's bad value does; the record set then writes it with the book.
void BookDetailsPanel::commitEdit() {
    const QString reading = readings::toKatakana(m_reading->text().trimmed());
    if (!reading.isEmpty() && !readings::isValidReading(reading))
        throw Failure(StoredReadings::invalidReadingMessage(m_reading->text()));
    if (m_isbnEdited)
        m_isbn->setText(Isbn::fromText(m_isbn->text()).hyphenated());
    m_reading->setText(reading);
}

StoredReadings::Origin BookDetailsPanel::origin() const {
    return m_userOwned ? StoredReadings::Origin::User : StoredReadings::Origin::Suggested;
}

QVariant BookDetailsPanel::companionValue(const QString &name) const {
    if (name != BookIdentity::IsbnField)
        return {};
    const Isbn isbn = m_isbnEdited ? Isbn::fromText(m_isbn->text()) : m_storedIsbn;
    return isbn.isEmpty() ? QVariant() : QVariant(isbn.digits());
}

void BookDetailsPanel::store(qint64 bookRowId) {
    m_writtenFor = 0;
    if (m_edited)
        StoredReadings(m_books->connection()).setTitle(bookRowId, m_reading->text(), origin());
    if (m_isbnEdited)
        StoredIsbns(m_books->connection()).store(bookRowId, Isbn::fromText(m_isbn->text()));
    m_writtenFor = bookRowId;
}

// Only once the book's transaction is through is the reading the stored one.
void BookDetailsPanel::bookSaved() {
    if (!pending() || m_writtenFor == 0)
        return;
    m_bookRowId = std::exchange(m_writtenFor, 0);
    if (m_edited)
        m_stored = StoredReadings::Reading{m_reading->text(), origin()};
    if (m_isbnEdited)
        m_storedIsbn = Isbn::fromText(m_isbn->text());
    m_edited = false;
    m_isbnEdited = false;
    showState();
}

} // namespace hondana
