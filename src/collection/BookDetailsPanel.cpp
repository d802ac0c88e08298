#include "collection/BookDetailsPanel.h"

#include "catalogue/ReadingSuggester.h"
#include "catalogue/ReadingText.h"
#include "catalogue/StoredIsbns.h"
#include "catalogue/StoredReadings.h"
#include "collection/CollectionWindows.h"
#include "db/RecordSet.h"
#include "widgets/BoundTextBox.h"
#include "widgets/BusyCursor.h"
#include "widgets/EscapeCloses.h"
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

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption) {
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
    button->setAutoDefault(false);
    return button;
}

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

    m_suggest = makeButton(this, "cmdSuggest", QStringLiteral("候補(&S)"));
    m_suggest->setToolTip(QStringLiteral("題名から読みの候補を作ります"));
    m_confirm = makeButton(this, "cmdConfirm", QStringLiteral("確定(&F)"));
    m_confirm->setToolTip(QStringLiteral("候補の読みをこのまま確定します"));
    QPushButton *closeButton = makeButton(this, "cmdClose", QStringLiteral("閉じる(&C)"));

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
    fields->addRow(isbnLabel, m_isbn);
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
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    EscapeCloses::install(this, closeButton);
    setTabOrder(m_reading, m_isbn);
    setTabOrder(m_isbn, m_suggest);
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
        set->setCompanion({[this] { return pending(); }, [this](qint64 rowId) { store(rowId); }});
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
    m_edited = false;
    m_userOwned = false;
    m_isbnEdited = false;
    m_stored.reset();
    m_storedIsbn = Isbn();
    const RecordSet *set = m_books ? &m_books->recordSet() : nullptr;
    const bool onBook = set && set->isOpen() && set->hasCurrent();
    m_bookRowId = onBook ? set->currentRowId() : 0;
    m_title->setText(onBook ? set->value(TitleColumn).toString().trimmed() : QString());
    if (m_bookRowId > 0) {
        try {
            m_stored = StoredReadings(m_books->connection()).title(m_bookRowId);
            m_storedIsbn = StoredIsbns(m_books->connection()).forBook(m_bookRowId);
        } catch (const Failure &failure) {
            MessageService::instance().notice(failure.message());
        }
    }
    m_reading->setText(m_stored ? m_stored->text : QString());
    m_isbn->setText(m_storedIsbn.hyphenated());
    m_userOwned = m_stored && m_stored->origin == StoredReadings::Origin::User;
    for (QWidget *control : {static_cast<QWidget *>(m_reading), static_cast<QWidget *>(m_isbn),
                             static_cast<QWidget *>(m_suggest)})
        control->setEnabled(onBook);
    showState();
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
    }
}

void BookDetailsPanel::reloadStoredData() {
    if (!pending())
        showCurrentBook();
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
