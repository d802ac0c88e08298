#include "retrieval/GroupedList.h"

#include "base/Failure.h"
#include "db/ShapedRecordSet.h"
#include "retrieval/ChapterModel.h"
#include "widgets/BoundTextBox.h"
#include "widgets/BusyCursor.h"
#include "widgets/DataNavigator.h"
#include "widgets/DataSource.h"
#include "widgets/FormLayout.h"
#include "widgets/MessageService.h"
#include "widgets/Twips.h"
#include "widgets/WindowRegistry.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

#include <algorithm>

namespace hondana {

namespace {

constexpr double NavigatorHeight = 360;
constexpr double StripHeight = 300;
constexpr double ButtonWidth = 1095;
constexpr double GridGap = 30;
const QColor LightBlue(0xC0, 0xC0, 0xFF);

} // namespace

GroupedList::GroupedList(const GroupedListDescription &description, QWidget *parent)
    : RegisterSubWindow(parent), m_description(description) {
    setObjectName(description.formName);
    setWindowTitle(description.caption);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, LightBlue);
    setPalette(colours);

    m_data = new DataSource(DataSource::Role::Primary, DataSource::PrimaryName, ConnectionString,
                            {}, this);
    m_records = new ShapedRecordSet(m_data->recordSet(), this);
    m_navigator = new DataNavigator(m_data, this);
    // After the navigator's own caption, which would name a position it does not have.
    connect(m_data, &DataSource::moveComplete, this, &GroupedList::showNoPosition);

    buildParentFields();
    buildGrid();
    buildButtons();
    move(twips::point(1110, 330));
    resize(twips::size(description.clientTwips.width(), description.clientTwips.height()));
}

GroupedList::~GroupedList() = default;

void GroupedList::buildParentFields() {
    for (const ParentField &parentField : std::as_const(m_description.parentFields)) {
        auto *box = new BoundTextBox(this);
        QString accessibleName = parentField.field;
        if (!parentField.label.isEmpty()) {
            QLabel *label = form::label(this, parentField.label, parentField.labelText,
                                        twips::rect(parentField.labelTwips));
            label->setBuddy(box);
            accessibleName = parentField.labelText;
        }
        form::place(box, parentField.name, accessibleName, twips::rect(parentField.twips));
        box->bind(m_data, parentField.field);
        box->setDisplayFormat(parentField.displayFormat);
        // The lists change nothing: what would a typed change be saved by?
        box->setReadOnly(true);
        box->setVisible(parentField.visible);
    }
}

void GroupedList::buildGrid() {
    m_grid = new QTableView(this);
    form::place(m_grid, QStringLiteral("grdDataGrid"), m_description.caption,
                twips::rect(m_description.gridTwips));
    m_chapter = new ChapterModel(*m_records, m_grid);
    m_grid->setModel(m_chapter);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);
}

void GroupedList::buildButtons() {
    m_buttons = new QWidget(this);
    m_buttons->setObjectName(QStringLiteral("picButtons"));
    QPushButton *refresh =
        form::button(m_buttons, QStringLiteral("cmdRefresh"), QStringLiteral("再表示(&R)"),
                     twips::rect(m_description.refreshLeftTwips, 0, ButtonWidth, StripHeight));
    connect(refresh, &QPushButton::clicked, this, &GroupedList::reread);
    QPushButton *close =
        form::button(m_buttons, QStringLiteral("cmdClose"), QStringLiteral("閉じる(&C)"),
                     twips::rect(m_description.closeLeftTwips, 0, ButtonWidth, StripHeight));
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

// Read when first shown, after the register has set the sub-window flag, which a failure
// clears again.
void GroupedList::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (!m_loaded) {
        m_loaded = true;
        load();
    }
}

// A list that cannot be read says why, frees the register's menu and stays open, empty, so
// that closing it still brings the register back.
void GroupedList::load() {
    try {
        BusyCursor busy;
        m_records->open(m_data->connection(), m_description.shapeCommand);
    } catch (const Failure &failure) {
        m_data->reportError(failure);
        MessageService::instance().notice(failure.message());
        releaseRegister();
    }
}

void GroupedList::reread() {
    try {
        BusyCursor busy;
        m_records->requery();
    } catch (const Failure &failure) {
        showNoPosition();
        MessageService::instance().notice(failure.message());
    }
}

// With no parent row there is no position to show.
void GroupedList::showNoPosition() {
    if (!m_data->recordSet().hasCurrent())
        m_navigator->setCaption(DataNavigator::CaptionPrefix);
}

// The grid takes the window's width from where it stands to the right edge, so its vertical
// scroll bar stays in sight, and the height left above the buttons and the navigator; a window
// too small for it leaves its height as it was.
void GroupedList::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    const int navigatorHeight = twips::toPixels(NavigatorHeight);
    const int stripHeight = twips::toPixels(StripHeight);
    m_navigator->setGeometry(0, height() - navigatorHeight, width(), navigatorHeight);
    m_buttons->setGeometry(0, height() - navigatorHeight - stripHeight, width(), stripHeight);
    const float gridHeight = float(twips::fromPixels(height())) -
                             float(m_description.gridTwips.top()) - float(NavigatorHeight) -
                             float(GridGap) - float(StripHeight);
    const int gridPixels = gridHeight < 0 ? m_grid->height() : twips::toPixels(gridHeight);
    m_grid->resize(std::max(0, width() - m_grid->x()), gridPixels);
}

void registerGroupedLists() {
    for (const GroupedListDescription &description : groupedListDescriptions()) {
        WindowRegistry::instance().registerFactory(
            description.formName, [&description] { return new GroupedList(description); });
    }
}

} // namespace hondana
