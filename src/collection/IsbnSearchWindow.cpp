#include "collection/IsbnSearchWindow.h"

#include "base/Failure.h"
#include "catalogue/Isbn.h"
#include "catalogue/StoredIsbns.h"
#include "collection/CollectionWindows.h"
#include "db/ConnectionString.h"
#include "widgets/BoundTextBox.h"
#include "widgets/EscapeCloses.h"
#include "widgets/MessageService.h"
#include "widgets/WindowPlacement.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace hondana {

IsbnSearchWindow::IsbnSearchWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), m_connection(CatalogueLinkConnection) {
    setObjectName(Name);
    setWindowTitle(Caption);
    setAttribute(Qt::WA_DeleteOnClose);

    m_isbn = new QLineEdit(this);
    m_isbn->setObjectName(QStringLiteral("txtIsbn"));
    m_isbn->setAccessibleName(QStringLiteral("ISBN"));
    m_isbn->setToolTip(QStringLiteral("ISBN を入力するか、バーコードを読み取ります"));
    m_isbn->setMaxLength(40);
    InputMethod::apply(m_isbn, false);
    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("lblResult"));
    m_result->setAccessibleName(QStringLiteral("結果"));
    m_result->setWordWrap(true);
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *findButton = new QPushButton(QStringLiteral("探す(&F)"), this);
    findButton->setObjectName(QStringLiteral("cmdFind"));
    findButton->setAccessibleName(QStringLiteral("探す"));
    findButton->setAutoDefault(false);
    auto *closeButton = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    closeButton->setObjectName(QStringLiteral("cmdClose"));
    closeButton->setAccessibleName(QStringLiteral("閉じる"));
    closeButton->setAutoDefault(false);

    auto *label = new QLabel(QStringLiteral("ISBN(&I):"), this);
    label->setBuddy(m_isbn);
    auto *fields = new QFormLayout;
    fields->addRow(label, m_isbn);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(findButton);
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(m_result);
    layout->addStretch(1);
    layout->addLayout(buttons);
    resize(380, sizeHint().height());

    connect(m_isbn, &QLineEdit::returnPressed, this, &IsbnSearchWindow::find);
    connect(findButton, &QPushButton::clicked, this, &IsbnSearchWindow::find);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    EscapeCloses::install(this, closeButton);
    setTabOrder(m_isbn, findButton);
    setTabOrder(findButton, closeButton);
    collection::closeWithRegister(this);
}

void IsbnSearchWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    m_isbn->setFocus();
    if (m_placed)
        return;
    m_placed = true;
    placement::besideRegister(this, {windows::BookDetails});
}

bool IsbnSearchWindow::find() {
    // The field is selected whatever happens, so the next scan replaces it.
    m_isbn->selectAll();
    QList<qint64> books;
    Isbn isbn;
    try {
        isbn = Isbn::fromText(m_isbn->text());
        if (isbn.isEmpty()) {
            refuse(QStringLiteral("ISBN を入力するか、バーコードを読み取ってください。"));
            return false;
        }
        m_connection.open();
        books = StoredIsbns(m_connection).booksWith(isbn);
    } catch (const Failure &failure) {
        refuse(failure.message());
        return false;
    }
    if (books.isEmpty()) {
        refuse(QStringLiteral("ISBN %1 の本は登録されていません。").arg(isbn.hyphenated()));
        return false;
    }
    if (!collection::showBookInRegister(books.first())) {
        say(QString());
        return false;
    }
    // The register stays beside this window: the user scans on without clicking back.
    activateWindow();
    m_isbn->setFocus();
    say(books.size() == 1
            ? QStringLiteral("ISBN %1 の本を表示しました。").arg(isbn.hyphenated())
            : QStringLiteral("ISBN %1 の本は %2 冊あります。その最初の本を表示しました。")
                  .arg(isbn.hyphenated())
                  .arg(books.size()));
    return true;
}

// A scan that finds nothing is heard too: the user looks at the book, not at the screen.
void IsbnSearchWindow::refuse(const QString &text) {
    say(text);
    MessageService::instance().beep();
}

void IsbnSearchWindow::say(const QString &text) {
    m_result->setText(text);
    if (!text.isEmpty())
        m_result->setAccessibleDescription(text);
}

} // namespace hondana
