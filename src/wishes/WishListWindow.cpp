#include "wishes/WishListWindow.h"

#include "base/Failure.h"
#include "catalogue/WishList.h"
#include "db/ConnectionString.h"
#include "lookup/IsbnLookup.h"
#include "lookup/LookupSettings.h"
#include "maintenance/CatalogueExport.h"
#include "widgets/BusyCursor.h"
#include "widgets/CommandControls.h"
#include "widgets/EscapeCloses.h"
#include "widgets/LookupConsent.h"
#include "widgets/MessageService.h"
#include "widgets/WindowPlacement.h"
#include "widgets/WindowRegistry.h"
#include "wishes/WishEditDialog.h"
#include "wishes/WishListModel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace hondana {

WishListWindow::WishListWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), m_connection(CatalogueLinkConnection),
      m_settings(std::make_unique<LookupSettings>()) {
    setObjectName(Name);
    setWindowTitle(Caption);
    setAttribute(Qt::WA_DeleteOnClose);
    m_model = new WishListModel(this);
    buildControls();
    resize(860, 480);
    reload();
}

WishListWindow::~WishListWindow() = default;

void WishListWindow::buildControls() {
    const auto newButton = [this](const char *name, const char *caption) {
        return makeCommandButton(this, QString::fromUtf8(name), QString::fromUtf8(caption));
    };
    auto *label = new QLabel(QStringLiteral("ISBN(&I):"), this);
    m_lookupIsbn = new QLineEdit(this);
    m_lookupIsbn->setObjectName(QStringLiteral("txtIsbn"));
    m_lookupIsbn->setAccessibleName(QStringLiteral("照会する ISBN"));
    m_lookupIsbn->setInputMethodHints(Qt::ImhDigitsOnly);
    m_lookupIsbn->setPlaceholderText(QStringLiteral("ISBN を入力して Enter で照会して追加"));
    label->setBuddy(m_lookupIsbn);
    connect(m_lookupIsbn, &QLineEdit::returnPressed, this, &WishListWindow::lookUp);
    m_lookupButton = newButton("cmdLookup", "照会して追加(&L)...");
    connect(m_lookupButton, &QPushButton::clicked, this, &WishListWindow::lookUp);

    m_list = new QTableView(this);
    setUpRowList(m_list, QStringLiteral("grdWishes"), QStringLiteral("欲しい本の一覧"),
                 RowChoice::Many);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setModel(m_model);
    m_list->setColumnWidth(WishListModel::PriorityColumn, 60);
    m_list->setColumnWidth(WishListModel::TitleColumn, 260);
    m_list->setColumnWidth(WishListModel::AuthorColumn, 140);
    m_list->setColumnWidth(WishListModel::IsbnColumn, 140);
    m_list->setColumnWidth(WishListModel::NoteColumn, 160);
    m_list->installEventFilter(this);
    connect(m_list, &QTableView::activated, this, &WishListWindow::editSelected);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    QPushButton *add = newButton("cmdAdd", "追加(&A)...");
    connect(add, &QPushButton::clicked, this, &WishListWindow::addByHand);
    QPushButton *edit = newButton("cmdEdit", "編集(&E)...");
    connect(edit, &QPushButton::clicked, this, &WishListWindow::editSelected);
    QPushButton *remove = newButton("cmdRemove", "削除(&D)");
    connect(remove, &QPushButton::clicked, this, &WishListWindow::removeSelected);
    QPushButton *print = newButton("cmdPrint", "印刷(&P)...");
    connect(print, &QPushButton::clicked, this, [this] { printWithPreview(this, asList()); });
    QPushButton *csv = newButton("cmdExport", "CSV 書き出し(&X)...");
    connect(csv, &QPushButton::clicked, this, [this] { saveCsvChosen(this, asList()); });
    QPushButton *close = newButton("cmdClose", "閉じる(&C)");
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    EscapeCloses::install(this, close);

    auto *entry = new QHBoxLayout;
    entry->addWidget(label);
    entry->addWidget(m_lookupIsbn, 1);
    entry->addWidget(m_lookupButton);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    for (QPushButton *button : {add, edit, remove, print, csv, close})
        buttons->addWidget(button);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(entry);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
}

void WishListWindow::reload() {
    reloadQuietly(false);
}

void WishListWindow::reloadQuietly(bool quiet) {
    const QList<qint64> selected = selectedIds();
    try {
        BusyCursor busy;
        m_connection.open();
        m_model->setWishes(WishList(m_connection).all());
    } catch (const Failure &failure) {
        m_model->setWishes({});
        resetMousePointer();
        // On activation a message box would reactivate the window when it closes, for ever.
        if (quiet)
            m_status->setText(failure.message());
        else
            MessageService::instance().notice(failure.message(), Caption,
                                              MessageService::Icon::Critical);
        return;
    }
    for (const qint64 id : selected) {
        if (const int row = m_model->rowOf(id); row >= 0)
            m_list->selectRow(row);
    }
    showStatus();
}

void WishListWindow::showStatus() {
    m_status->setText(QStringLiteral("%1 冊").arg(m_model->rowCount()));
}

QList<qint64> WishListWindow::selectedIds() const {
    QList<qint64> ids;
    for (const QModelIndex &index : m_list->selectionModel()->selectedRows())
        ids << m_model->wishes().at(index.row()).id;
    return ids;
}

void WishListWindow::openEditor(const Wish &wish, const QString &caption) {
    WishEditDialog editor(wish, caption, this);
    if (editor.exec() != QDialog::Accepted)
        return;
    const Wish edited = editor.wish();
    qint64 id = edited.id;
    try {
        WishList wishes(m_connection);
        if (id == 0)
            id = wishes.add(edited);
        else
            wishes.edit(edited);
    } catch (const Failure &failure) {
        MessageService::instance().notice(failure.message(), caption,
                                          MessageService::Icon::Critical);
    }
    reload();
    if (const int row = m_model->rowOf(id); row >= 0)
        m_list->selectRow(row);
}

void WishListWindow::addByHand() {
    openEditor(Wish(), QStringLiteral("欲しい本の追加"));
}

void WishListWindow::editSelected() {
    const QList<qint64> ids = selectedIds();
    if (ids.size() != 1) {
        MessageService::instance().notice(QStringLiteral("編集する本を 1 冊選んでください。"),
                                          Caption);
        return;
    }
    openEditor(m_model->wishes().at(m_model->rowOf(ids.first())), QStringLiteral("欲しい本の編集"));
}

void WishListWindow::removeSelected() {
    const QList<qint64> ids = selectedIds();
    if (ids.isEmpty())
        return;
    MessageService &messages = MessageService::instance();
    if (!messages.confirm(QStringLiteral("%1 冊を欲しい本の一覧から消しますか？").arg(ids.size()),
                          Caption))
        return;
    try {
        WishList(m_connection).remove(ids);
    } catch (const Failure &failure) {
        messages.notice(failure.message(), Caption, MessageService::Icon::Critical);
    }
    m_list->clearSelection();
    reload();
}

void WishListWindow::lookUp() {
    MessageService &messages = MessageService::instance();
    const QString typed = m_lookupIsbn->text().trimmed();
    const Isbn isbn = Isbn::tryFromText(typed);
    if (isbn.isEmpty()) {
        messages.notice(typed.isEmpty()
                            ? QStringLiteral("照会する ISBN を入力してください。")
                            : QStringLiteral("「%1」は ISBN ではありません（桁数か検査数字が合い"
                                             "ません）。")
                                  .arg(typed),
                        Caption, MessageService::Icon::Warning);
        m_lookupIsbn->setFocus();
        return;
    }
    // Without consent nothing is sent: the wish is added by hand, with its ISBN.
    if (!askLookupConsentOnce(*m_settings)) {
        Wish wish;
        wish.isbn = isbn;
        m_lookupIsbn->clear();
        openEditor(wish, QStringLiteral("欲しい本の追加"));
        return;
    }
    if (!m_lookup) {
        m_lookup = new IsbnLookup(m_settings->serviceAddress(), QString(), this);
        connect(m_lookup, &IsbnLookup::finished, this, &WishListWindow::lookedUp);
    }
    // The window stays usable while the service answers; the look-up controls wait.
    m_lookupIsbn->setEnabled(false);
    m_lookupButton->setEnabled(false);
    setCursor(Qt::BusyCursor);
    m_status->setText(QStringLiteral("%1 を照会中…").arg(isbn.hyphenated()));
    m_lookup->lookUp(isbn);
}

void WishListWindow::lookedUp(const LookupResult &result) {
    unsetCursor();
    m_lookupIsbn->setEnabled(true);
    m_lookupButton->setEnabled(true);
    m_lookupIsbn->clear();
    showStatus();
    Wish wish;
    wish.isbn = result.isbn;
    if (result.outcome == LookupResult::Outcome::Found) {
        wish.title = result.book.title.name;
        if (!result.book.authors.isEmpty())
            wish.author = result.book.authors.first().name;
    } else {
        const QString why = result.outcome == LookupResult::Outcome::NotFound
                                ? QStringLiteral("見つかりませんでした。")
                                : QStringLiteral("照会できませんでした: ") + result.message;
        MessageService::instance().notice(QStringLiteral("%1 は%2\n題名などを入力してください。")
                                              .arg(result.isbn.hyphenated(), why),
                                          Caption, MessageService::Icon::Information);
    }
    openEditor(wish, QStringLiteral("欲しい本の追加"));
    m_lookupIsbn->setFocus();
}

TextList WishListWindow::asList() const {
    return {Caption, wishListColumns(), wishListRows(m_model->wishes()),
            QStringLiteral("%1 現在 %2 冊")
                .arg(QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd")))
                .arg(m_model->rowCount())};
}

bool WishListWindow::event(QEvent *event) {
    // Books registered in another window may have struck wishes meanwhile.
    if (event->type() == QEvent::WindowActivate && m_shownBefore && m_lookupButton->isEnabled())
        reloadQuietly(true);
    return QWidget::event(event);
}

bool WishListWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_list && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        removeSelected();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void WishListWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (m_shownBefore)
        return;
    m_shownBefore = true;
    placement::overRegister(this);
    m_list->setFocus();
}

void registerWishListWindow() {
    WindowRegistry::instance().registerFactory(windows::Wishes, [] { return new WishListWindow; });
}

} // namespace hondana
