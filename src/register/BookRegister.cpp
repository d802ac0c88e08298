#include "register/BookRegister.h"

#include "catalogue/OwnedCopies.h"
#include "catalogue/VolumeCopy.h"
#include "core/AppState.h"
#include "db/ConnectionString.h"
#include "widgets/BoundTextBox.h"
#include "widgets/BusyCursor.h"
#include "widgets/DataCombo.h"
#include "widgets/DataNavigator.h"
#include "widgets/DataSource.h"
#include "widgets/EscapeCloses.h"
#include "widgets/FormLayout.h"
#include "widgets/HelpWindow.h"
#include "widgets/MessageService.h"
#include "widgets/ProgramEnd.h"
#include "widgets/RecordCommands.h"
#include "widgets/RegisterSubWindow.h"
#include "widgets/Twips.h"
#include "widgets/WindowRegistry.h"
#include "widgets/WishStrikeOffer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>

#include <utility>

namespace hondana {

using namespace registerform;

namespace {

constexpr double ClientWidth = 7770;
constexpr double ClientHeight = 6960;
constexpr double NavigatorHeight = 360;
constexpr double ButtonBarHeight = 420;
constexpr double ButtonWidth = 1095;
constexpr double ButtonHeight = 300;

const QColor Background(192, 192, 255);
const QColor TitleText(0, 128, 0);
const QColor TitleGround(255, 255, 192);
const QColor RequiredGround(255, 224, 192);
const QString FormFont = QStringLiteral("ＭＳ Ｐゴシック");

QFont formFont(double points, bool bold) {
    QFont font(FormFont);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

void colour(QWidget *widget, QPalette::ColorRole role, const QColor &colour) {
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

// A screen reader says the label's words; the colon after them is not read out.
QString spokenName(const Field &field) {
    QString name = field.label;
    if (name.endsWith(QLatin1Char(':')))
        name.chop(1);
    return name;
}

QWidget *makeFieldControl(const Field &field, QWidget *parent, DataSource *books) {
    switch (field.control) {
    case Control::Notes: {
        auto *notes = new BoundTextArea(parent);
        notes->setAccessibleName(spokenName(field));
        notes->bind(books, field.column);
        notes->setInputMethodOn(field.inputMethodOn);
        notes->setTabChangesFocus(true);
        return notes;
    }
    case Control::Lookup: {
        auto *combo = new DataCombo(parent);
        combo->setAccessibleName(spokenName(field));
        combo->bind(books, field.column);
        return combo;
    }
    case Control::Text:
        break;
    }
    auto *box = new BoundTextBox(parent);
    box->setAccessibleName(spokenName(field));
    box->bind(books, field.column);
    box->setDisplayFormat(field.displayFormat);
    box->setRightAligned(field.rightAligned);
    if (field.inputMethodOn)
        box->setInputMethodOn(true);
    return box;
}

QRect pixels(const QRectF &rect) {
    return twips::rect(rect.left(), rect.top(), rect.width(), rect.height());
}

} // namespace

BookRegister *BookRegister::load() {
    if (AppState::instance().admission != AppState::Admission::Yes) {
        endProgram();
        return nullptr;
    }
    return new BookRegister;
}

BookRegister::BookRegister(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(Name);
    setWindowTitle(Caption);
    setAttribute(Qt::WA_DeleteOnClose);
    setAutoFillBackground(true);
    colour(this, QPalette::Window, Background);

    BusyCursor busy;
    buildMenuBar();
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setGeometry(
        QRect(QPoint(0, m_menuBar->sizeHint().height()), twips::size(ClientWidth, ClientHeight)));
    setFixedSize(client->width(), client->geometry().bottom() + 1);
    m_menuBar->setGeometry(0, 0, width(), m_menuBar->sizeHint().height());

    m_books = new DataSource(DataSource::Role::Primary, DataSource::PrimaryName,
                             CatalogueLinkConnection, RecordSource, this);
    m_navigator = new DataNavigator(m_books, client);
    m_navigator->setGeometry(
        twips::rect(0, ClientHeight - NavigatorHeight, ClientWidth, NavigatorHeight));

    buildTitle(client);
    buildLookups();
    buildFields(client);
    buildButtons(client);

    RecordSet *set = &m_books->recordSet();
    connect(set, &RecordSet::moveComplete, this, &BookRegister::lockFieldsWithoutBook);
    connect(set, &RecordSet::rowsReset, this, &BookRegister::lockFieldsWithoutBook);
    connect(set, &RecordSet::rowRemoved, this, &BookRegister::lockFieldsWithoutBook);
    connect(set, &RecordSet::moveComplete, this, [this] { m_copiedFrom = 0; });
    set->setSaveCheck([this] { askBeforeAddingOwnedCopy(); });
    connect(set, &RecordSet::rowChanged, this, &BookRegister::noteNewBookWritten);
    connect(set, &RecordSet::editCancelled, this, [this] { m_newBookBeingWritten = false; });
    for (DataSource *source : std::as_const(m_lookupSources))
        source->refresh();
    m_books->refresh();
    lockFieldsWithoutBook();
}

// Text typed with no current book (an empty catalogue, or past either end) could be saved
// nowhere, and every later command would trip over it: the fields take typing only while there is
// a book, and say how to start one.
void BookRegister::lockFieldsWithoutBook() {
    const bool noBook = !m_books->recordSet().hasCurrent();
    for (BoundTextBox *box : findChildren<BoundTextBox *>())
        box->setReadOnly(noBook);
    for (BoundTextArea *notes : findChildren<BoundTextArea *>())
        notes->setReadOnly(noBook);
    if (auto *title = qobject_cast<QLineEdit *>(m_firstField))
        title->setPlaceholderText(noBook ? NoBookHint : QString());
}

BookRegister::~BookRegister() {
    // The record set still reports its closing while the fields are already gone, and a window
    // beside the register may still save the book while the register goes: no check of the
    // register's may run then.
    disconnect(&m_books->recordSet(), nullptr, this, nullptr);
    m_books->recordSet().setSaveCheck({});
}

void BookRegister::buildTitle(QWidget *client) {
    QLabel *title =
        form::label(client, QStringLiteral("lblTitle"), Caption, twips::rect(120, 120, 7530, 480));
    title->setFont(formFont(13.5, true));
    title->setAlignment(Qt::AlignCenter);
    title->setAutoFillBackground(true);
    colour(title, QPalette::WindowText, TitleText);
    colour(title, QPalette::Window, TitleGround);

    form::label(client, QStringLiteral("lblHint"), QStringLiteral("（上、下、１，２、・・等）"),
                twips::rect(2160, 1260, 2040, 330));
}

void BookRegister::buildLookups() {
    for (const Lookup &lookup : lookups()) {
        m_lookupSources.insert(lookup.combo,
                               new DataSource(DataSource::Role::Secondary, lookup.dataSource,
                                              CatalogueLinkConnection, lookup.table, this));
    }
}

void BookRegister::buildFields(QWidget *client) {
    QWidget *previous = nullptr;
    int labelNumber = 0;
    for (const Field &field : fields()) {
        QLabel *label = form::label(client, QStringLiteral("lblLabels(%1)").arg(++labelNumber),
                                    field.label, pixels(field.labelTwips));
        if (field.required) {
            label->setFont(formFont(9, true));
            label->setAutoFillBackground(true);
            colour(label, QPalette::Window, RequiredGround);
        }
        QWidget *control = makeFieldControl(field, client, m_books);
        control->setObjectName(field.name);
        control->setGeometry(pixels(field.fieldTwips));
        control->setToolTip(field.toolTip);
        label->setBuddy(control);
        if (previous)
            setTabOrder(previous, control);
        else
            m_firstField = control;
        previous = control;

        if (auto *combo = qobject_cast<DataCombo *>(control)) {
            for (const Lookup &lookup : lookups()) {
                if (lookup.combo != field.name)
                    continue;
                DataSource *source = m_lookupSources.value(lookup.combo);
                combo->setRowSource(source, lookup.listField, lookup.boundColumn);
                if (lookup.refreshOnClick) {
                    // Re-read the master list, so names added in an editor since the register
                    // opened appear; also into a list that was empty.
                    connect(combo, &DataCombo::clicked, source, &DataSource::refresh);
                }
            }
        }
    }
}

void BookRegister::buildButtons(QWidget *client) {
    auto *bar = new QWidget(client);
    bar->setObjectName(QStringLiteral("picButtons"));
    bar->setGeometry(twips::rect(0, ClientHeight - NavigatorHeight - ButtonBarHeight, ClientWidth,
                                 ButtonBarHeight));
    const struct {
        const char *name;
        QString caption;
        void (BookRegister::*handler)();
    } buttons[] = {
        {"cmdAdd", QStringLiteral("追加(&A)"), &BookRegister::addBook},
        {"cmdUpdate", QStringLiteral("更新(&U)"), &BookRegister::saveBooks},
        {"CMDCOPY", QStringLiteral("コピー(&O)"), &BookRegister::copyBook},
        {"cmdDelete", QStringLiteral("削除(&D)"), &BookRegister::deleteBook},
        {"cmdClose", QStringLiteral("閉じる(&C)"), &BookRegister::closeFromButton},
    };
    const double gap = (ClientWidth - std::size(buttons) * ButtonWidth) / (std::size(buttons) + 1);
    const double top = (ButtonBarHeight - ButtonHeight) / 2;
    QHash<QString, QPushButton *> byName;
    for (size_t i = 0; i < std::size(buttons); ++i) {
        const double left = gap + double(i) * (ButtonWidth + gap);
        QPushButton *button =
            form::button(bar, QString::fromLatin1(buttons[i].name), buttons[i].caption,
                         twips::rect(left, top, ButtonWidth, ButtonHeight));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, buttons[i].handler);
        byName.insert(button->objectName(), button);
    }
    EscapeCloses::install(this, byName.value(QStringLiteral("cmdClose")));
    byName.value(QStringLiteral("CMDCOPY"))
        ->setToolTip(QStringLiteral("新たに同じ題名のデータを作成します"));
    // The buttons follow the fields; the copy button comes last.
    QWidget *previous = findChild<QWidget *>(fields().constLast().name);
    for (const char *name : {"cmdAdd", "cmdUpdate", "cmdDelete", "cmdClose", "CMDCOPY"}) {
        QPushButton *button = byName.value(QString::fromLatin1(name));
        setTabOrder(previous, button);
        previous = button;
    }
}

void BookRegister::buildMenuBar() {
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("menuBar"));
    m_menuBar->setNativeMenuBar(false);
    // The menu bar belongs to the window frame, not to the form's coloured ground.
    m_menuBar->setAutoFillBackground(true);
    colour(m_menuBar, QPalette::Window, QApplication::palette().color(QPalette::Window));
    for (const MenuTitle &title : registerform::menuBar()) {
        if (title.dropDown.isEmpty()) {
            QAction *action = m_menuBar->addAction(title.command.caption);
            action->setObjectName(title.command.name);
            connect(action, &QAction::triggered, this,
                    [this, command = title.command] { runMenuCommand(command); });
            continue;
        }
        QMenu *menu = m_menuBar->addMenu(title.command.caption);
        menu->setObjectName(title.command.name);
        menu->menuAction()->setObjectName(title.command.name);
        for (const MenuCommand &command : title.dropDown) {
            QAction *action = menu->addAction(command.caption);
            action->setObjectName(command.name);
            connect(action, &QAction::triggered, this,
                    [this, command] { runMenuCommand(command); });
        }
    }
    // Titles past the fixed width stand behind this button.
    if (auto *more = m_menuBar->findChild<QWidget *>(QStringLiteral("qt_menubar_ext_button")))
        more->setAccessibleName(QStringLiteral("その他のメニュー"));
}

void BookRegister::runMenuCommand(const MenuCommand &command) {
    switch (command.opening) {
    case Opening::Beside:
    case Opening::InPlace:
        openUnderFlag(command);
        break;
    case Opening::Report:
        openReport(command.form);
        break;
    case Opening::Alongside:
        WindowRegistry::instance().show(command.form);
        break;
    case Opening::Action:
        WindowRegistry::instance().run(command.form);
        break;
    case Opening::Help:
        showHelp(HelpContextId);
        break;
    case Opening::About:
        WindowRegistry::instance().show(windows::About);
        break;
    case Opening::Close:
        closeFromMenu();
        break;
    }
}

// One screen at a time: while one is open, choosing another does nothing and says nothing.
void BookRegister::openUnderFlag(const MenuCommand &command) {
    if (RegisterSubWindow::isAnyOpen())
        return;
    const bool inPlace = command.opening == Opening::InPlace;
    // A list of an empty catalogue would have nothing to show.
    if (inPlace && m_books->recordSet().bof() && m_books->recordSet().eof())
        return;
    QWidget *screen = WindowRegistry::instance().window(command.form);
    if (!screen)
        return;
    RegisterSubWindow::openFromRegister(screen);
    if (inPlace)
        hide();
}

// The report is no screen of the register's, but does not open while one is. It says itself why
// it cannot show the catalogue; anything else that stops it opening is said here.
void BookRegister::openReport(const QString &form) {
    if (RegisterSubWindow::isAnyOpen())
        return;
    try {
        WindowRegistry::instance().show(form);
    } catch (const Failure &failure) {
        MessageService::instance().notice(failure.message(), {}, MessageService::Icon::Critical);
    }
}

void BookRegister::closeFromMenu() {
    WindowRegistry::instance().show(windows::MainMenu);
    close();
}

void BookRegister::closeFromButton() {
    if (!RegisterSubWindow::isAnyOpen())
        close();
}

void BookRegister::addBook() {
    if (runRecordCommand([this] { m_books->recordSet().addNew(); }) && m_firstField)
        m_firstField->setFocus();
}

void BookRegister::saveBooks() {
    runRecordCommand([this] { m_books->recordSet().update(); });
}

void BookRegister::copyBook() {
    runRecordCommand([this] {
        // What the user typed belongs to the book being copied.
        m_books->commitEdits();
        const qint64 source = m_books->recordSet().currentRowId();
        copyAsNewVolume(m_books->recordSet());
        m_copiedFrom = source;
    });
}

// A volume bought twice because nobody remembered having it: a new book the catalogue already
// holds is saved only when the user says so. The volume a copy began from is another volume.
void BookRegister::askBeforeAddingOwnedCopy() {
    RecordSet &set = m_books->recordSet();
    if (set.currentRowId() != 0)
        return;
    const BookIdentity book = identityOfCurrentBook(m_books->connection(), set);
    const std::optional<OwnedCopy> owned =
        findOwnedCopy(m_books->connection(), book, {m_copiedFrom});
    if (owned && !MessageService::instance().confirm(owned->question(), Caption))
        throw RefusedEdit(QStringLiteral("同じ本がもう登録されているため、保存しませんでした。"));
    m_newBookBeingWritten = true;
}

// A new book is written by 更新, by moving on, by 追加 and by closing alike; the wish list is
// offered it once the operation that wrote it is over, so no question opens halfway through a
// move. A write the table refused leaves the row without a rowid, and it is not offered.
void BookRegister::noteNewBookWritten() {
    const qint64 rowId = m_books->recordSet().currentRowId();
    if (!m_newBookBeingWritten || rowId == 0)
        return;
    m_newBookBeingWritten = false;
    m_newBooksForWishes << rowId;
    QMetaObject::invokeMethod(this, &BookRegister::offerToStrikeWishesOfNewBooks,
                              Qt::QueuedConnection);
}

void BookRegister::offerToStrikeWishesOfNewBooks() {
    const QList<qint64> books = std::exchange(m_newBooksForWishes, {});
    offerToStrikeFulfilledWishes(m_books->connection(), books);
}

void BookRegister::deleteBook() {
    runRecordCommand([this] { deleteAndMoveOn(m_books->recordSet(), NoBookToDelete); });
}

void BookRegister::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    if (m_firstField)
        m_firstField->setFocus();
}

// The register stays while a screen it opened is open, and while a change it holds cannot be
// written; the main menu comes back before it goes, so the program never ends behind the user.
void BookRegister::closeEvent(QCloseEvent *event) {
    if (RegisterSubWindow::isAnyOpen() || !saveOrDropBeforeClosing(*m_books)) {
        event->ignore();
        return;
    }
    // The register goes before a queued offer could run.
    offerToStrikeWishesOfNewBooks();
    resetMousePointer();
    WindowRegistry::instance().show(windows::MainMenu);
    event->accept();
}

void registerBookRegister() {
    WindowRegistry::instance().registerFactory(BookRegister::Name,
                                               [] { return BookRegister::load(); });
}

} // namespace hondana
