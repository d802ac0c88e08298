#include "collection/KanaIndexWindow.h"

#include "catalogue/StoredReadings.h"
#include "collection/CollectionWindows.h"
#include "collection/IndexCatalogue.h"
#include "collection/IndexEntryView.h"
#include "collection/IndexModels.h"
#include "db/CatalogueRows.h"
#include "db/ConnectionString.h"
#include "widgets/BusyCursor.h"
#include "widgets/CommandControls.h"
#include "widgets/DataSource.h"
#include "widgets/EscapeCloses.h"
#include "widgets/MessageService.h"
#include "widgets/WindowPlacement.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSplitter>
#include <QTabBar>
#include <QVBoxLayout>

#include <algorithm>

namespace hondana {

using namespace collection;

namespace {

const QString TabCaptions[] = {QStringLiteral("題名(&T)"), QStringLiteral("著者(&A)"),
                               QStringLiteral("発行所(&P)")};
const QString CountCaptions[] = {QStringLiteral("題名 %1件"), QStringLiteral("著者 %1人"),
                                 QStringLiteral("発行所 %1社")};

StoredReadings::Master masterOf(IndexTab list) {
    return list == IndexTab::Authors ? StoredReadings::Master::Author
                                     : StoredReadings::Master::Publisher;
}

} // namespace

KanaIndexWindow::KanaIndexWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), m_connection(CatalogueLinkConnection) {
    setObjectName(Name);
    setWindowTitle(Caption);
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    resize(760, 520);
    collection::closeWithRegister(this);
    if (DataSource *books = registerBooks()) {
        RecordSet *set = &books->recordSet();
        for (auto changed : {&RecordSet::rowChanged, &RecordSet::rowRemoved})
            connect(set, changed, this, [this] { m_outOfDate = true; });
    }
    load();
}

KanaIndexWindow::~KanaIndexWindow() = default;

void KanaIndexWindow::buildControls() {
    m_tabs = new QTabBar(this);
    m_tabs->setObjectName(QStringLiteral("tabLists"));
    m_tabs->setAccessibleName(QStringLiteral("一覧の種類"));
    for (const QString &caption : TabCaptions)
        m_tabs->addTab(caption);

    auto *rowButtons = new QHBoxLayout;
    rowButtons->setSpacing(2);
    for (int number = 0; number < IndexEntries::RowCount; ++number) {
        const auto row = KanaRow(number);
        const QString caption = JapaneseOrder::rowName(row);
        QPushButton *button = makeCommandButton(
            this, QStringLiteral("cmdRow(%1)").arg(number), caption,
            row == KanaRow::Other ? QStringLiteral("その他") : caption + QStringLiteral("行"));
        button->setFixedWidth(button->fontMetrics().horizontalAdvance(caption) * 2 + 16);
        connect(button, &QPushButton::clicked, this, [this, row] {
            if (jumpToRow(row))
                m_entryView->setFocus();
        });
        // The row is one stop of Tab; the arrow keys move along it.
        if (number > 0)
            button->setFocusPolicy(Qt::ClickFocus);
        button->installEventFilter(this);
        m_rowButtons.push_back(button);
        rowButtons->addWidget(button);
    }
    rowButtons->addStretch(1);

    m_entryView = new IndexEntryView(this);
    setUpRowList(m_entryView, QStringLiteral("grdEntries"), QStringLiteral("見出し"));
    m_entryView->setEditTriggers(QAbstractItemView::DoubleClicked |
                                 QAbstractItemView::EditKeyPressed);
    m_entryView->setJump([this](const QString &typed) { jumpTo(typed); });
    m_bookView = new QTableView(this);
    setUpRowList(m_bookView, QStringLiteral("grdBooks"), QStringLiteral("蔵書"));
    m_bookView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto *split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("splLists"));
    split->addWidget(m_entryView);
    split->addWidget(m_bookView);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);

    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("lblCount"));
    m_count->setAccessibleName(QStringLiteral("件数"));
    QPushButton *openButton =
        makeCommandButton(this, QStringLiteral("cmdOpen"), QStringLiteral("登録画面で開く(&O)"),
                          QStringLiteral("登録画面で開く"));
    openButton->setToolTip(QStringLiteral("選んだ蔵書を蔵書登録の画面に出します（Enter）"));
    QPushButton *closeButton = makeCommandButton(
        this, QStringLiteral("cmdClose"), QStringLiteral("閉じる(&C)"), QStringLiteral("閉じる"));
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_count, 1);
    bottom->addWidget(openButton);
    bottom->addWidget(closeButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addLayout(rowButtons);
    layout->addWidget(split, 1);
    layout->addLayout(bottom);

    connect(m_tabs, &QTabBar::currentChanged, this, [this](int tab) { showTab(IndexTab(tab)); });
    connect(m_entryView, &QAbstractItemView::activated, this, &KanaIndexWindow::entryActivated);
    connect(m_bookView, &QAbstractItemView::activated, this, &KanaIndexWindow::openBook);
    connect(openButton, &QPushButton::clicked, this, &KanaIndexWindow::openBook);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    EscapeCloses::install(this, closeButton);
    setTabOrder(m_tabs, m_rowButtons.front());
    setTabOrder(m_rowButtons.front(), m_entryView);
    setTabOrder(m_entryView, m_bookView);
    setTabOrder(m_bookView, openButton);
    setTabOrder(openButton, closeButton);
}

// Reads the catalogue's rows (which the other lists share) and the readings of the tab shown.
void KanaIndexWindow::load() {
    BusyCursor busy;
    const IndexTab tab = IndexTab(std::max(0, m_tabs->currentIndex()));
    m_entryView->setModel(nullptr);
    m_bookView->setModel(nullptr);
    delete m_entries;
    delete m_books;
    m_entries = nullptr;
    m_books = nullptr;
    m_catalogue.reset();
    m_outOfDate = false;
    try {
        m_connection.open();
        auto readingsOf = [this](IndexTab kind) {
            StoredReadings stored(m_connection);
            return kind == IndexTab::Titles ? stored.titles() : stored.names(masterOf(kind));
        };
        m_catalogue = std::make_unique<IndexCatalogue>(CatalogueRows::of(m_connection.filePath()),
                                                       readingsOf);
    } catch (const Failure &failure) {
        busy.release();
        MessageService::instance().notice(failure.message(), {}, MessageService::Icon::Critical);
        return;
    }
    m_entries = new IndexEntryModel(
        *m_catalogue,
        [this](IndexTab list, qint64 rowId, const QString &reading) {
            storeNameReading(list, rowId, reading);
        },
        this);
    m_books = new IndexBookModel(*m_catalogue, this);
    m_entryView->setModel(m_entries);
    m_bookView->setModel(m_books);
    connect(m_entries, &IndexEntryModel::refused, this,
            [](const QString &message) { MessageService::instance().notice(message); });
    connect(m_entries, &IndexEntryModel::dataChanged, m_books, &IndexBookModel::readingsChanged);
    connect(m_entryView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &KanaIndexWindow::entryChosen);
    showTab(tab);
}

void KanaIndexWindow::showTab(IndexTab tab) {
    if (m_tabs->currentIndex() != int(tab))
        return m_tabs->setCurrentIndex(int(tab)); // comes back here through currentChanged
    if (!m_entries)
        return;
    BusyCursor busy;
    m_books->showBooks(nullptr);
    try {
        m_entries->showTab(tab);
    } catch (const Failure &failure) {
        busy.release();
        MessageService::instance().notice(failure.message(), {}, MessageService::Icon::Critical);
        return;
    }
    m_count->setText(CountCaptions[int(tab)].arg(QLocale().toString(m_entries->rowCount())));
    m_entryView->horizontalHeader()->resizeSection(IndexEntryModel::TextColumn, 300);
    m_entryView->horizontalHeader()->resizeSection(IndexEntryModel::ReadingColumn, 260);
    makeCurrent(0);
}

bool KanaIndexWindow::jumpToRow(KanaRow row) {
    if (!m_entries)
        return false;
    const int first = m_entries->entries().firstOfRow(row);
    if (first < 0) {
        MessageService::instance().beep();
        return false;
    }
    makeCurrent(first);
    return true;
}

void KanaIndexWindow::jumpTo(const QString &kana) {
    if (m_entries)
        makeCurrent(std::min(m_entries->entries().firstFrom(kana), m_entries->rowCount() - 1));
}

void KanaIndexWindow::makeCurrent(int position) {
    if (position < 0 || position >= m_entries->rowCount())
        return entryChosen();
    const QModelIndex index = m_entries->index(position, IndexEntryModel::TextColumn);
    m_entryView->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                              QItemSelectionModel::Rows);
    m_entryView->scrollTo(index, QAbstractItemView::PositionAtTop);
}

void KanaIndexWindow::entryChosen() {
    const QModelIndex current = m_entryView->currentIndex();
    m_books->showBooks(current.isValid() ? &m_entries->entries().at(current.row()) : nullptr);
    if (m_books->rowCount() > 0)
        m_bookView->setCurrentIndex(m_books->index(0, 0));
}

// An entry of a single book opens it; otherwise its books are next to choose from.
void KanaIndexWindow::entryActivated() {
    if (m_books->rowCount() == 1)
        return openBook();
    m_bookView->setFocus();
}

void KanaIndexWindow::openBook() {
    const QModelIndex current = m_bookView->currentIndex();
    if (m_books && current.isValid())
        showBookInRegister(m_books->bookRowId(current.row()));
}

void KanaIndexWindow::storeNameReading(IndexTab list, qint64 masterRowId, const QString &reading) {
    StoredReadings(m_connection).setName(masterOf(list), masterRowId, reading);
}

void KanaIndexWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    placement::besideRegister(this);
    m_entryView->setFocus();
}

// Left and Right go round the row buttons; Space presses the one with the focus.
bool KanaIndexWindow::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        const auto button = std::find(m_rowButtons.begin(), m_rowButtons.end(), watched);
        if (button != m_rowButtons.end() && (key == Qt::Key_Left || key == Qt::Key_Right)) {
            const int count = int(m_rowButtons.size());
            const int step = key == Qt::Key_Left ? count - 1 : 1;
            m_rowButtons[size_t((int(button - m_rowButtons.begin()) + step) % count)]->setFocus(
                Qt::TabFocusReason);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// Books the register wrote since are shown when the user comes back to the index.
bool KanaIndexWindow::event(QEvent *event) {
    if (event->type() == QEvent::WindowActivate && m_outOfDate)
        load();
    return QWidget::event(event);
}

} // namespace hondana
