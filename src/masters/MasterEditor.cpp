#include "masters/MasterEditor.h"

#include "db/ConnectionString.h"
#include "widgets/BusyCursor.h"
#include "widgets/DataGrid.h"
#include "widgets/DataSource.h"
#include "widgets/FormLayout.h"
#include "widgets/RecordCommands.h"
#include "widgets/Twips.h"
#include "widgets/WindowRegistry.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace hondana {

namespace {

constexpr double ButtonBarHeight = 300;
constexpr double ButtonWidth = 1095;
constexpr double ButtonHeight = 300;
// The gap the grid keeps above the hidden navigator.
constexpr double GridGap = 30;

const QString NothingToDelete = QStringLiteral("削除する行がありません。");

} // namespace

MasterEditor::MasterEditor(const MasterDescription &description, QWidget *parent)
    : RegisterSubWindow(parent), m_description(description) {
    setObjectName(description.formName);
    setWindowTitle(description.caption);

    m_data = new DataSource(DataSource::Role::Primary, DataSource::PrimaryName,
                            CatalogueLinkConnection, description.sql, this);

    buildGrid();
    buildButtons();
    resize(twips::size(description.clientTwips.width(), description.clientTwips.height()));

    {
        BusyCursor busy;
        m_data->refresh();
    }
    masters::guardMasterList(m_data->recordSet(), m_data->connection(), description.key);
}

MasterEditor::~MasterEditor() = default;

void MasterEditor::buildGrid() {
    m_gridArea = new QWidget(this);
    m_gridArea->setGeometry(0, 0, twips::toPixels(m_description.clientTwips.width()), 0);
    auto *layout = new QVBoxLayout(m_gridArea);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_gridCaption = new QLabel(m_description.caption, m_gridArea);
    m_gridCaption->setObjectName(QStringLiteral("grdDataGridCaption"));
    m_gridCaption->setAlignment(Qt::AlignCenter);
    m_gridCaption->setFrameShape(QFrame::Panel);
    m_gridCaption->setFrameShadow(QFrame::Raised);
    m_gridCaption->setAutoFillBackground(true);
    QPalette captionColours = m_gridCaption->palette();
    captionColours.setColor(QPalette::Window, palette().color(QPalette::Button));
    m_gridCaption->setPalette(captionColours);

    m_grid = new DataGrid(m_gridArea);
    m_grid->setObjectName(QStringLiteral("grdDataGrid"));
    m_grid->setAccessibleName(m_description.caption);
    m_grid->bind(m_data, m_description.columns);
    connect(m_grid, &DataGrid::deleteRowRequested, this, &MasterEditor::deleteRow);
    // Rows as high as their text needs, so a short list shows whole on the first screen.
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);
    QPalette gridColours = m_grid->palette();
    gridColours.setColor(QPalette::Base, m_description.gridBackground);
    m_grid->setPalette(gridColours);

    layout->addWidget(m_gridCaption);
    layout->addWidget(m_grid, 1);
}

void MasterEditor::buildButtons() {
    m_buttons = new QWidget(this);
    m_buttons->setObjectName(QStringLiteral("picButtons"));
    const struct {
        const char *name;
        QString caption;
        void (MasterEditor::*handler)();
    } buttons[] = {
        {"cmdAdd", QStringLiteral("追加(&A)"), &MasterEditor::addRow},
        {"cmdUpdate", QStringLiteral("更新(&U)"), &MasterEditor::saveAll},
        {"cmdDelete", QStringLiteral("削除(&D)"), &MasterEditor::deleteRow},
        {"cmdClose", QStringLiteral("閉じる(&C)"), nullptr},
    };
    QWidget *previous = m_grid;
    for (size_t i = 0; i < std::size(buttons); ++i) {
        QPushButton *button = form::button(
            m_buttons, QString::fromLatin1(buttons[i].name), buttons[i].caption,
            twips::rect(m_description.buttonLeftsTwips[i], 0, ButtonWidth, ButtonHeight));
        button->setAutoDefault(false);
        if (buttons[i].handler)
            connect(button, &QPushButton::clicked, this, buttons[i].handler);
        else
            connect(button, &QPushButton::clicked, this, &QWidget::close);
        setTabOrder(previous, button);
        previous = button;
    }
}

void MasterEditor::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    const int barHeight = twips::toPixels(ButtonBarHeight);
    m_buttons->setGeometry(0, height() - barHeight, width(), barHeight);
    fitGridHeight();
}

// Only the height follows the window. A window too small for the grid leaves it as it was.
void MasterEditor::fitGridHeight() {
    const double gridHeight = twips::fromPixels(height()) - m_description.navigatorHeightTwips -
                              GridGap - ButtonBarHeight;
    if (gridHeight < 0)
        return;
    m_gridArea->resize(m_gridArea->width(), twips::toPixels(gridHeight));
}

void MasterEditor::addRow() {
    runRecordCommand([this] {
        if (!m_grid->goToNewRow())
            return;
        m_grid->setFocus();
    });
}

void MasterEditor::saveAll() {
    runRecordCommand([this] {
        commitOpenCell();
        m_data->recordSet().update();
    });
}

void MasterEditor::deleteRow() {
    runRecordCommand([this] { deleteAndMoveOn(m_data->recordSet(), NothingToDelete); });
}

// A cell still being typed into counts as typed: it is handed over before the row is saved.
void MasterEditor::commitOpenCell() {
    const QModelIndex current = m_grid->currentIndex();
    if (QWidget *editor = m_grid->indexWidget(current))
        m_grid->itemDelegate()->setModelData(editor, m_grid->model(), current);
}

// Nothing typed is dropped: the editor stays open while its last change cannot be written.
bool MasterEditor::prepareToClose() {
    commitOpenCell();
    return savePendingChange(*m_data);
}

void registerMasterEditors() {
    for (const MasterDescription &description : masterDescriptions()) {
        WindowRegistry::instance().registerFactory(
            description.formName, [&description] { return new MasterEditor(description); });
    }
}

} // namespace hondana
