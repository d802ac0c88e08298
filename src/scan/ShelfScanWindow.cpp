#include "scan/ShelfScanWindow.h"

#include "base/Failure.h"
#include "catalogue/BookIntake.h"
#include "catalogue/StoredIsbns.h"
#include "catalogue/WishList.h"
#include "db/ConnectionString.h"
#include "lookup/IncomingFromLookup.h"
#include "lookup/IsbnLookup.h"
#include "lookup/LookupSettings.h"
#include "scan/ScannedBooks.h"
#include "widgets/BusyCursor.h"
#include "widgets/CommandControls.h"
#include "widgets/EscapeCloses.h"
#include "widgets/LookupConsent.h"
#include "widgets/MessageService.h"
#include "widgets/WindowPlacement.h"
#include "widgets/WindowRegistry.h"
#include "widgets/WishStrikeOffer.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace hondana {

ShelfScanWindow::ShelfScanWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), m_connection(CatalogueLinkConnection),
      m_settings(std::make_unique<LookupSettings>()) {
    setObjectName(Name);
    setWindowTitle(Caption);
    setAttribute(Qt::WA_DeleteOnClose);
    m_scanned = new ScannedBooks([this](const Isbn &isbn) { return inCatalogue(isbn); }, this);
    buildControls();
    resize(820, 520);
    if (m_settings->consent() == LookupSettings::Consent::Allowed)
        enableLookups();
    showSummary();
}

ShelfScanWindow::~ShelfScanWindow() = default;

void ShelfScanWindow::buildControls() {
    auto *label = new QLabel(QStringLiteral("ISBN(&I):"), this);
    m_isbn = new QLineEdit(this);
    m_isbn->setObjectName(QStringLiteral("txtIsbn"));
    m_isbn->setAccessibleName(QStringLiteral("ISBN"));
    m_isbn->setInputMethodHints(Qt::ImhDigitsOnly);
    m_isbn->setPlaceholderText(QStringLiteral("バーコードを読み取るか、ISBN を入力して Enter"));
    label->setBuddy(m_isbn);
    connect(m_isbn, &QLineEdit::returnPressed, this, &ShelfScanWindow::takeTyped);

    m_lookupsOn =
        new QCheckBox(QStringLiteral("ISBN を国立国会図書館に送って書誌を照会する(&L)"), this);
    m_lookupsOn->setObjectName(QStringLiteral("chkLookup"));
    m_lookupsOn->setAccessibleName(m_lookupsOn->text().section(u'(', 0, 0));
    m_lookupsOn->setChecked(m_settings->consent() == LookupSettings::Consent::Allowed);
    connect(m_lookupsOn, &QCheckBox::toggled, this, &ShelfScanWindow::lookupsToggled);

    m_list = new QTableView(this);
    setUpRowList(m_list, QStringLiteral("grdScanned"), QStringLiteral("読み取った ISBN"),
                 RowChoice::Many);
    m_list->setModel(m_scanned);
    m_list->setColumnWidth(ScannedBooks::IsbnColumn, 150);
    m_list->setColumnWidth(ScannedBooks::StateColumn, 110);
    m_list->setColumnWidth(ScannedBooks::TitleColumn, 260);
    m_list->installEventFilter(this);
    connect(m_scanned, &QAbstractItemModel::rowsInserted, m_list,
            [this](auto, int, int last) { m_list->scrollTo(m_scanned->index(last, 0)); });
    connect(m_scanned, &ScannedBooks::statesChanged, this, &ShelfScanWindow::showSummary);

    const auto newButton = [this](const char *name, const char *caption) {
        return makeCommandButton(this, QString::fromUtf8(name), QString::fromUtf8(caption));
    };
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("lblSummary"));
    QPushButton *drop = newButton("cmdDrop", "行を削除(&D)");
    connect(drop, &QPushButton::clicked, this, &ShelfScanWindow::dropSelected);
    QPushButton *toWishes = newButton("cmdToWishes", "欲しい本へ(&W)");
    connect(toWishes, &QPushButton::clicked, this, &ShelfScanWindow::sendSelectedToWishes);
    m_addAll = newButton("cmdAddAll", "まとめて登録(&R)");
    m_addAll->setEnabled(false);
    connect(m_addAll, &QPushButton::clicked, this, &ShelfScanWindow::addFound);
    QPushButton *close = newButton("cmdClose", "閉じる(&C)");
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    EscapeCloses::install(this, close);

    auto *entry = new QHBoxLayout;
    entry->addWidget(label);
    entry->addWidget(m_isbn, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_summary, 1);
    for (QPushButton *button : {drop, toWishes, m_addAll, close})
        buttons->addWidget(button);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(entry);
    layout->addWidget(m_lookupsOn);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    m_isbn->setFocus();
}

void ShelfScanWindow::takeTyped() {
    const QString typed = m_isbn->text();
    m_isbn->clear();
    if (typed.trimmed().isEmpty())
        return;
    m_scanned->take(typed);
}

void ShelfScanWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (m_shownBefore)
        return;
    m_shownBefore = true;
    placement::overRegister(this);
}

void ShelfScanWindow::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    // Asked as soon as the window has the keys, before the scanner is fired into it: a question
    // that opened at a scan would take the digits of the next books, which would be lost. Books
    // scanned before the answer wait in the list and are looked up if the answer is yes. The
    // question waits for the event to be handled, so it opens over this window.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !m_consentAsked &&
        m_settings->consent() == LookupSettings::Consent::NotAsked) {
        m_consentAsked = true;
        QTimer::singleShot(0, this, &ShelfScanWindow::askConsent);
    }
}

void ShelfScanWindow::askConsent() {
    if (m_settings->consent() != LookupSettings::Consent::NotAsked)
        return;
    const bool allowed = askLookupConsentOnce(*m_settings);
    const QSignalBlocker quiet(m_lookupsOn);
    m_lookupsOn->setChecked(allowed);
    if (allowed)
        enableLookups();
    m_isbn->setFocus();
}

void ShelfScanWindow::lookupsToggled(bool on) {
    try {
        m_settings->setConsent(on);
    } catch (const Failure &failure) {
        // The choice still holds for this window; only the next start will not know it.
        MessageService::instance().notice(failure.message(), {}, MessageService::Icon::Warning);
    }
    if (on)
        enableLookups();
    else
        m_scanned->setLookup(nullptr);
}

void ShelfScanWindow::enableLookups() {
    if (!m_lookup) {
        m_lookup = new IsbnLookup(m_settings->serviceAddress(), QString(), this);
        m_summary->setToolTip(m_lookup->cacheProblem()); // look-ups go on, without the cache
    }
    m_scanned->setLookup(m_lookup);
}

void ShelfScanWindow::dropSelected() {
    QList<int> rows;
    for (const QModelIndex &index : m_list->selectionModel()->selectedRows())
        rows << index.row();
    m_scanned->drop(rows);
    m_isbn->setFocus();
}

namespace {

// What adding does besides writing the books: what the lists gain, which books stay behind.
QStringList intakeDetails(const IntakePlan &plan, Duplicates duplicates) {
    QStringList lines;
    const std::pair<MasterList, const char *> lists[] = {{MasterList::Author, "著者"},
                                                         {MasterList::Publisher, "発行所"},
                                                         {MasterList::Size, "ｻｲｽﾞ"}};
    for (const auto &[list, caption] : lists)
        if (const QStringList names = plan.mastersToCreate(list, duplicates); !names.isEmpty())
            lines << QStringLiteral("新しい%1: %2")
                         .arg(QString::fromUtf8(caption), names.join(QStringLiteral("、")));
    QStringList refused;
    for (const IntakeProblem &problem : plan.problems)
        refused << QStringLiteral("%1 冊目 %2: %3")
                       .arg(problem.book + 1)
                       .arg(problem.column, problem.why);
    if (!refused.isEmpty())
        lines << QStringLiteral("登録できない本があります:") << refused;
    return lines;
}

} // namespace

void ShelfScanWindow::addFound() {
    const QList<int> rows = m_scanned->foundRows();
    QList<IncomingBook> books;
    for (const LookedUpBook &book : m_scanned->foundBooks())
        books << incomingFromLookup(book);
    MessageService &messages = MessageService::instance();
    try {
        BusyCursor busy;
        m_connection.open();
        BookIntake intake(m_connection);
        const IntakePlan plan = intake.plan(books);
        busy.release();
        Duplicates duplicates = Duplicates::Skip;
        if (!plan.lookAlikes.isEmpty() &&
            messages.confirm(QStringLiteral("目録にある本と同じらしい本が %1 冊あります。"
                                            "これらも登録しますか？")
                                 .arg(plan.lookAlikes.size())))
            duplicates = Duplicates::Add;
        const QStringList details = intakeDetails(plan, duplicates);
        if (plan.addedCount(duplicates) == 0) {
            messages.notice(
                (QStringList{QStringLiteral("登録できる本がありません。")} + details).join(u'\n'),
                {}, MessageService::Icon::Warning);
            return;
        }
        const QString question =
            (QStringList{QStringLiteral("%1 冊を登録します。").arg(plan.addedCount(duplicates))} +
             details + QStringList{QStringLiteral("よろしいですか？")})
                .join(u'\n');
        if (!messages.confirm(question))
            return;
        BusyCursor writing;
        const QList<qint64> newBooks = intake.add(books, duplicates);
        QList<int> added;
        for (int book = 0; book < plan.bookCount; ++book)
            if (plan.adds(book, duplicates))
                added << rows.at(book);
        m_scanned->drop(added);
        writing.release();
        offerToStrikeFulfilledWishes(m_connection, newBooks);
    } catch (const Failure &failure) {
        resetMousePointer();
        messages.notice(failure.message(), {}, MessageService::Icon::Critical);
    }
    m_isbn->setFocus();
}

void ShelfScanWindow::sendSelectedToWishes() {
    MessageService &messages = MessageService::instance();
    const QList<int> foundRows = m_scanned->foundRows();
    const QList<LookedUpBook> found = m_scanned->foundBooks();
    QList<int> selected;
    for (const QModelIndex &index : m_list->selectionModel()->selectedRows())
        selected << index.row();
    std::sort(selected.begin(), selected.end());
    // A wish needs a title: only books the look-up found, and none the catalogue holds.
    QList<Wish> wishes;
    QList<int> sent;
    for (const int row : std::as_const(selected)) {
        const qsizetype at = foundRows.indexOf(row);
        if (at < 0)
            continue;
        Wish wish;
        wish.title = found[at].title.name;
        wish.isbn = found[at].isbn;
        if (!found[at].authors.isEmpty())
            wish.author = found[at].authors.first().name;
        wishes << wish;
        sent << row;
    }
    if (wishes.isEmpty()) {
        messages.notice(QStringLiteral("「見つかりました」の行を選んでください。"
                                       "欲しい本の一覧には題名の分かる本を送ります。"));
        return;
    }
    try {
        BusyCursor busy;
        m_connection.open();
        WishList list(m_connection);
        for (const Wish &wish : std::as_const(wishes))
            list.add(wish);
        m_scanned->drop(sent);
        busy.release();
        QString text = QStringLiteral("%1 冊を欲しい本の一覧に加えました。").arg(wishes.size());
        if (selected.size() > sent.size())
            text += QStringLiteral("\n題名の分からない %1 行は一覧に残しました。")
                        .arg(selected.size() - sent.size());
        messages.notice(text);
    } catch (const Failure &failure) {
        resetMousePointer();
        messages.notice(failure.message(), {}, MessageService::Icon::Critical);
    }
    if (QWidget *window = WindowRegistry::instance().existing(windows::Wishes))
        QMetaObject::invokeMethod(window, "reload");
    m_isbn->setFocus();
}

void ShelfScanWindow::showSummary() {
    using State = ScannedBooks::State;
    QStringList parts{QStringLiteral("%1件").arg(m_scanned->rowCount())};
    for (const State state : {State::Found, State::Waiting, State::NotFound, State::Failed,
                              State::Invalid, State::AlreadyScanned, State::NotAsked})
        if (const int count = m_scanned->count(state))
            parts << QStringLiteral("%1 %2件").arg(ScannedBooks::stateText(state)).arg(count);
    m_summary->setText(parts.join(QStringLiteral(" / ")));
    m_addAll->setEnabled(m_scanned->count(State::Found) > 0);
}

bool ShelfScanWindow::inCatalogue(const Isbn &isbn) {
    try {
        m_connection.open();
        return !StoredIsbns(m_connection).booksWith(isbn).isEmpty();
    } catch (const Failure &failure) {
        // The scan goes on without the check; the summary's tip says why.
        m_summary->setToolTip(failure.message());
        return false;
    }
}

bool ShelfScanWindow::eventFilter(QObject *watched, QEvent *event) {
    // A cell being edited has the keys to itself; Delete reaches the list only outside it.
    if (watched == m_list && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        dropSelected();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void registerScanWindow() {
    WindowRegistry::instance().registerFactory(windows::ShelfScan,
                                               [] { return new ShelfScanWindow; });
}

} // namespace hondana
