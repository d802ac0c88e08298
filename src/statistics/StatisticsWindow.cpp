#include "statistics/StatisticsWindow.h"

#include "base/Failure.h"
#include "base/SafeFile.h"
#include "db/ConnectionString.h"
#include "statistics/StatisticsCharts.h"
#include "widgets/BusyCursor.h"
#include "widgets/CommandControls.h"
#include "widgets/EscapeCloses.h"
#include "widgets/MessageService.h"
#include "widgets/WindowPlacement.h"
#include "widgets/WindowRegistry.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace hondana {

namespace {

QTableWidgetItem *figureItem(qint64 value) {
    auto *item = new QTableWidgetItem(statistics::figure(value));
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

} // namespace

StatisticsWindow::StatisticsWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), m_connection(CatalogueLinkConnection) {
    setObjectName(Name);
    setWindowTitle(Caption);
    setAttribute(Qt::WA_DeleteOnClose);

    m_chart = new QComboBox(this);
    m_chart->setObjectName(QStringLiteral("cboChart"));
    m_chart->setAccessibleName(QStringLiteral("グラフ"));
    for (const statistics::ChartDescription &chart : statistics::charts())
        m_chart->addItem(chart.caption);
    m_year = new QComboBox(this);
    m_year->setObjectName(QStringLiteral("cboYear"));
    m_year->setAccessibleName(QStringLiteral("年"));
    m_year->setToolTip(
        QStringLiteral("購入と読了をこの年に絞ります（年別と未読のグラフは全期間）"));

    m_view = new QChartView(this);
    m_view->setObjectName(QStringLiteral("chartView"));
    m_view->setAccessibleName(QStringLiteral("グラフ表示"));
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setMinimumSize(480, 360);
    m_table = new QTableWidget(this);
    setUpRowList(m_table, QStringLiteral("grdFigures"), QStringLiteral("集計表"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("lblSummary"));
    m_summary->setAccessibleName(QStringLiteral("合計"));
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setAccessibleName(QStringLiteral("状態"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    QPushButton *saveButton =
        makeCommandButton(this, QStringLiteral("cmdSavePng"), QStringLiteral("PNG で保存(&P)..."));
    QPushButton *closeButton =
        makeCommandButton(this, QStringLiteral("cmdClose"), QStringLiteral("閉じる(&C)"));

    auto *chartLabel = new QLabel(QStringLiteral("グラフ(&G):"), this);
    chartLabel->setBuddy(m_chart);
    auto *yearLabel = new QLabel(QStringLiteral("年(&Y):"), this);
    yearLabel->setBuddy(m_year);
    auto *choosers = new QHBoxLayout;
    choosers->addWidget(chartLabel);
    choosers->addWidget(m_chart);
    choosers->addSpacing(12);
    choosers->addWidget(yearLabel);
    choosers->addWidget(m_year);
    choosers->addStretch(1);

    auto *figures = new QWidget(this);
    auto *figuresLayout = new QVBoxLayout(figures);
    figuresLayout->setContentsMargins(0, 0, 0, 0);
    figuresLayout->addWidget(m_table, 1);
    figuresLayout->addWidget(m_summary);
    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(m_view);
    splitter->addWidget(figures);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({720, 260});

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    buttons->addWidget(saveButton);
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(choosers);
    layout->addWidget(splitter, 1);
    layout->addLayout(buttons);
    resize(1000, 620);

    connect(m_chart, &QComboBox::currentIndexChanged, this, &StatisticsWindow::showChart);
    connect(m_year, &QComboBox::currentIndexChanged, this, &StatisticsWindow::reload);
    connect(saveButton, &QPushButton::clicked, this, &StatisticsWindow::choosePng);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    EscapeCloses::install(this, closeButton);
    setTabOrder(m_chart, m_year);
    setTabOrder(m_year, m_table);
    setTabOrder(m_table, saveButton);
    setTabOrder(saveButton, closeButton);

    reload();
}

void StatisticsWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    m_chart->setFocus();
    placement::overRegister(this);
}

std::optional<int> StatisticsWindow::chosenYear() const {
    const int year = m_year->currentData().toInt();
    return year > 0 ? std::optional<int>(year) : std::nullopt;
}

bool StatisticsWindow::reload() {
    m_status->clear();
    try {
        BusyCursor busy;
        m_connection.open();
        m_figures = readCollectionStatistics(m_connection, QDate::currentDate(), chosenYear());
        // Held open, the file would keep a restore waiting for a window that only looks.
        m_connection.close();
    } catch (const Failure &failure) {
        m_connection.close();
        m_figures = {};
        m_status->setText(failure.message());
        m_status->setAccessibleDescription(failure.message());
        showChart(m_chart->currentIndex());
        return false;
    }
    fillYears();
    showChart(m_chart->currentIndex());
    return true;
}

void StatisticsWindow::fillYears() {
    const int chosen = m_year->currentData().toInt();
    const QSignalBlocker quiet(m_year);
    m_year->clear();
    m_year->addItem(QStringLiteral("全期間"), 0);
    for (auto year = m_figures.years.crbegin(); year != m_figures.years.crend(); ++year)
        m_year->addItem(QStringLiteral("%1年").arg(*year), *year);
    m_year->setCurrentIndex(std::max(0, m_year->findData(chosen)));
}

void StatisticsWindow::showChart(int index) {
    if (index < 0 || index >= statistics::charts().size())
        return;
    const statistics::ChartDescription &chart = statistics::charts().at(index);
    const QList<StatisticsRow> &rows = m_figures.*chart.rows;
    QChart *old = m_view->chart();
    m_view->setChart(statistics::buildChart(chart, rows));
    delete old;
    fillFigures(rows, chart.withAmount);
    m_summary->setText(chart.summary(m_figures, rows));
    m_summary->setAccessibleDescription(m_summary->text());
}

void StatisticsWindow::fillFigures(const QList<StatisticsRow> &rows, bool withAmount) {
    m_table->clear();
    QStringList headers{QStringLiteral("区分"), QStringLiteral("冊数")};
    if (withAmount)
        headers << QStringLiteral("金額（円）");
    m_table->setColumnCount(int(headers.size()));
    m_table->setHorizontalHeaderLabels(headers);
    m_table->setRowCount(int(rows.size()));
    for (int i = 0; i < rows.size(); ++i) {
        m_table->setItem(i, 0, new QTableWidgetItem(rows[i].label));
        m_table->setItem(i, 1, figureItem(rows[i].books));
        if (withAmount)
            m_table->setItem(i, 2, figureItem(rows[i].amount));
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
}

void StatisticsWindow::choosePng() {
    QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("PNG で保存"),
        QDir::current().filePath(m_chart->currentText() + QStringLiteral(".png")),
        QStringLiteral("PNG (*.png)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".png");
    savePng(path);
}

bool StatisticsWindow::savePng(const QString &path) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    try {
        if (!m_view->grab().save(&buffer, "PNG"))
            throw Failure(QStringLiteral("グラフを PNG にできません。"));
        safefile::OutputFile file(path);
        file.write(bytes.constData(), bytes.size());
        file.commit();
    } catch (const Failure &failure) {
        MessageService::instance().notice(failure.message(), Caption,
                                          MessageService::Icon::Critical);
        return false;
    }
    m_status->setText(QStringLiteral("%1 に保存しました。").arg(QDir::toNativeSeparators(path)));
    return true;
}

void registerStatisticsWindow() {
    WindowRegistry::instance().registerFactory(windows::Statistics,
                                               [] { return new StatisticsWindow; });
}

} // namespace hondana
