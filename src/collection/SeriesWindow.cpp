#include "collection/SeriesWindow.h"

#include "base/Failure.h"
#include "collection/CollectionWindows.h"
#include "db/Connection.h"
#include "db/ConnectionString.h"
#include "widgets/BusyCursor.h"
#include "widgets/CommandControls.h"
#include "widgets/EscapeCloses.h"
#include "widgets/MessageService.h"
#include "widgets/WindowPlacement.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace hondana {

namespace collection {

SeriesModel::SeriesModel(QObject *parent) : QAbstractTableModel(parent) {}

void SeriesModel::setSeries(QList<Series> series) {
    beginResetModel();
    m_all = std::move(series);
    m_incomplete.clear();
    for (int i = 0; i < m_all.size(); ++i) {
        if (m_all[i].incomplete())
            m_incomplete << i;
    }
    endResetModel();
}

void SeriesModel::setIncompleteOnly(bool incompleteOnly) {
    if (incompleteOnly == m_incompleteOnly)
        return;
    beginResetModel();
    m_incompleteOnly = incompleteOnly;
    endResetModel();
}

const Series &SeriesModel::seriesAt(int row) const {
    return m_all[m_incompleteOnly ? m_incomplete[row] : row];
}

int SeriesModel::rowCount(const QModelIndex &parent) const {
    if (parent.isValid())
        return 0;
    return int(m_incompleteOnly ? m_incomplete.size() : m_all.size());
}

int SeriesModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SeriesModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    const Series &series = seriesAt(index.row());
    switch (Column(index.column())) {
    case Title:
        return series.title;
    case Reading:
        return series.reading;
    case Owned:
        return series.ownedText();
    case Missing:
        return volumeRanges(series.missing());
    case Total:
        return series.total > 0 ? QVariant(series.total) : QVariant();
    case ColumnCount:
        break;
    }
    return {};
}

QVariant SeriesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const QString names[ColumnCount] = {
        QStringLiteral("題名"), QStringLiteral("読み"), QStringLiteral("持っている巻"),
        QStringLiteral("欠けている巻"), QStringLiteral("全体冊数")};
    return section >= 0 && section < ColumnCount ? names[section] : QString();
}

} // namespace collection

using collection::SeriesModel;

SeriesWindow::SeriesWindow(QWidget *parent) : QWidget(parent, Qt::Window) {
    setObjectName(Name);
    setWindowTitle(Caption);
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    resize(900, 560);
    collection::closeWithRegister(this);
    load();
}

void SeriesWindow::buildControls() {
    m_incompleteOnly = new QCheckBox(QStringLiteral("欠けている巻のあるシリーズだけ(&U)"), this);
    m_incompleteOnly->setObjectName(QStringLiteral("chkIncomplete"));
    m_incompleteOnly->setAccessibleName(QStringLiteral("欠けている巻のあるシリーズだけ"));

    m_model = new SeriesModel(this);
    m_seriesView = new QTableView(this);
    setUpRowList(m_seriesView, QStringLiteral("grdSeries"), QStringLiteral("シリーズ"));
    m_seriesView->setModel(m_model);
    m_seriesView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_seriesView->setColumnWidth(SeriesModel::Title, 230);
    m_seriesView->setColumnWidth(SeriesModel::Reading, 150);
    m_seriesView->setColumnWidth(SeriesModel::Owned, 120);
    m_seriesView->setColumnWidth(SeriesModel::Missing, 120);

    auto *volumesLabel = new QLabel(QStringLiteral("巻(&B):"), this);
    m_volumes = new QListWidget(this);
    m_volumes->setObjectName(QStringLiteral("lstVolumes"));
    m_volumes->setAccessibleName(QStringLiteral("巻"));
    volumesLabel->setBuddy(m_volumes);
    auto *volumesPane = new QWidget(this);
    auto *volumesLayout = new QVBoxLayout(volumesPane);
    volumesLayout->setContentsMargins(0, 0, 0, 0);
    volumesLayout->addWidget(volumesLabel);
    volumesLayout->addWidget(m_volumes, 1);

    auto *split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(m_seriesView);
    split->addWidget(volumesPane);
    split->setStretchFactor(0, 5);
    split->setStretchFactor(1, 1);

    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("lblCount"));
    m_count->setAccessibleName(QStringLiteral("件数"));
    QPushButton *open =
        makeCommandButton(this, QStringLiteral("cmdOpen"), QStringLiteral("登録画面で開く(&O)"),
                          QStringLiteral("登録画面で開く"));
    open->setToolTip(QStringLiteral("選んだ巻を蔵書登録の画面に出します（Enter）"));
    QPushButton *print = makeCommandButton(this, QStringLiteral("cmdPrintNext"),
                                           QStringLiteral("次に買う巻を印刷(&P)..."),
                                           QStringLiteral("次に買う巻を印刷"));
    QPushButton *csv = makeCommandButton(this, QStringLiteral("cmdSaveNext"),
                                         QStringLiteral("次に買う巻を CSV に保存(&S)..."),
                                         QStringLiteral("次に買う巻を CSV に保存"));
    QPushButton *close = makeCommandButton(this, QStringLiteral("cmdClose"),
                                           QStringLiteral("閉じる(&C)"), QStringLiteral("閉じる"));
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_count, 1);
    for (QPushButton *button : {open, print, csv, close})
        bottom->addWidget(button);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_incompleteOnly);
    layout->addWidget(split, 1);
    layout->addLayout(bottom);

    connect(m_incompleteOnly, &QCheckBox::toggled, this, [this](bool only) {
        m_model->setIncompleteOnly(only);
        showCount();
        m_seriesView->selectRow(0);
    });
    connect(m_seriesView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &SeriesWindow::showVolumes);
    connect(m_model, &QAbstractItemModel::modelReset, this, &SeriesWindow::showVolumes);
    connect(m_seriesView, &QAbstractItemView::activated, this, [this] { m_volumes->setFocus(); });
    connect(m_volumes, &QListWidget::itemActivated, this, &SeriesWindow::openVolume);
    connect(open, &QPushButton::clicked, this, &SeriesWindow::openVolume);
    connect(print, &QPushButton::clicked, this, [this] { printWithPreview(this, nextToBuy()); });
    connect(csv, &QPushButton::clicked, this, [this] { saveCsvChosen(this, nextToBuy()); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    EscapeCloses::install(this, close);
    setTabOrder(m_incompleteOnly, m_seriesView);
    setTabOrder(m_seriesView, m_volumes);
    setTabOrder(m_volumes, open);
    setTabOrder(open, print);
    setTabOrder(print, csv);
    setTabOrder(csv, close);
}

void SeriesWindow::load() {
    BusyCursor busy;
    try {
        Connection connection(CatalogueLinkConnection);
        connection.open();
        m_model->setSeries(readSeries(connection));
    } catch (const Failure &failure) {
        busy.release();
        MessageService::instance().notice(failure.message(), Caption,
                                          MessageService::Icon::Critical);
    }
    showCount();
    m_seriesView->selectRow(0);
}

TextList SeriesWindow::nextToBuy() const {
    TextList list{QStringLiteral("次に買う巻"),
                  {QStringLiteral("題名"), QStringLiteral("次に買う巻"),
                   QStringLiteral("欠けている巻"), QStringLiteral("持っている巻")},
                  {}};
    for (const Series &series : m_model->all()) {
        const QList<int> missing = series.missing();
        if (!missing.isEmpty())
            list.rows.append({series.title, QString::number(missing.first()), volumeRanges(missing),
                              series.ownedText()});
    }
    return list;
}

void SeriesWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    placement::overRegister(this);
}

void SeriesWindow::showVolumes() {
    m_volumes->clear();
    const int row = m_seriesView->currentIndex().row();
    if (row < 0 || row >= m_model->rowCount())
        return;
    const Series &series = m_model->seriesAt(row);
    for (const Series::Book &book : series.books) {
        bool numbered = false;
        book.volume.toInt(&numbered);
        auto *item = new QListWidgetItem(book.volume.isEmpty() ? QStringLiteral("（巻の表示なし）")
                                         : numbered ? QStringLiteral("第%1巻").arg(book.volume)
                                                    : book.volume,
                                         m_volumes);
        item->setData(Qt::UserRole, book.rowId);
    }
    m_volumes->setCurrentRow(0);
}

void SeriesWindow::openVolume() {
    if (const QListWidgetItem *item = m_volumes->currentItem())
        collection::showBookInRegister(item->data(Qt::UserRole).toLongLong());
}

void SeriesWindow::showCount() {
    m_count->setText(QStringLiteral("シリーズ %1件（欠けている巻のあるもの %2件）")
                         .arg(m_model->allCount())
                         .arg(m_model->incompleteCount()));
}

} // namespace hondana
