#include "retrieval/QueryScreen.h"

#include "base/Failure.h"
#include "db/ConnectionString.h"
#include "db/InputParsing.h"
#include "db/RecordSet.h"
#include "widgets/BusyCursor.h"
#include "widgets/DataGrid.h"
#include "widgets/DataSource.h"
#include "widgets/FormLayout.h"
#include "widgets/MessageService.h"
#include "widgets/Twips.h"
#include "widgets/WindowRegistry.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>

#include <algorithm>

namespace hondana {

namespace {

const QString SearchCaption = QStringLiteral("抽出");
const QString GridName = QStringLiteral("DataGrid1");

} // namespace

QueryScreen::QueryScreen(const QueryScreenDescription &description, QWidget *parent)
    : RegisterSubWindow(parent), m_description(description) {
    setObjectName(description.formName);
    setWindowTitle(description.caption);
    // The grid scrolls; a larger window would only show empty ground around it.
    setFixedSize(twips::size(description.clientTwips.width(), description.clientTwips.height()));

    m_data = new DataSource(DataSource::Role::Secondary, QStringLiteral("Adodc1"),
                            CatalogueLinkConnection, description.storedQuery, this);
    // The screen handles nothing itself, but what the data control meets (no catalogue, no
    // stored query) is said, not swallowed: the grid would just stay empty.
    // The message may come while the screen reads its rows under the busy cursor.
    connect(m_data, &DataSource::error, this, [](int, const QString &description) {
        resetMousePointer();
        MessageService::instance().notice(description);
    });

    buildLabels();
    buildInputs();
    buildGrid();
    buildButtons();
    orderTabs();

    BusyCursor busy;
    m_data->refresh();
}

QueryScreen::~QueryScreen() = default;

void QueryScreen::buildLabels() {
    for (const ScreenLabel &described : std::as_const(m_description.labels)) {
        QLabel *label =
            form::label(this, described.name, described.text, twips::rect(described.twips));
        form::setFontSize(label, described.pointSize, described.heading);
        if (described.heading)
            label->setAlignment(Qt::AlignCenter);
        if (described.background.isValid()) {
            label->setAutoFillBackground(true);
            QPalette colours = label->palette();
            colours.setColor(QPalette::Window, described.background);
            label->setPalette(colours);
        }
    }
}

void QueryScreen::buildInputs() {
    for (const SearchInput &described : std::as_const(m_description.inputs)) {
        auto *input = new QLineEdit(this);
        auto *label = findChild<QLabel *>(described.label);
        form::place(input, described.name, label ? label->text() : described.column,
                    twips::rect(described.twips));
        if (label)
            label->setBuddy(input);
        // Typed text is Japanese as often as not.
        input->setAttribute(Qt::WA_InputMethodEnabled);
        connect(input, &QLineEdit::returnPressed, this, &QueryScreen::search);
        m_inputs << input;
        m_tabOrder << qMakePair(described.tabIndex, static_cast<QWidget *>(input));
    }
}

void QueryScreen::buildGrid() {
    m_grid = new DataGrid(this);
    form::place(m_grid, GridName, m_description.caption, twips::rect(m_description.gridTwips));
    m_grid->bind(m_data, m_description.columns);
    m_grid->setReadOnly(true);
    widenDateColumns();
    // Rows as high as their text needs, so the grid shows as many books as it can.
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);
    if (m_description.gridBackground.isValid()) {
        QPalette colours = m_grid->palette();
        colours.setColor(QPalette::Base, m_description.gridBackground);
        m_grid->setPalette(colours);
    }
    m_tabOrder << qMakePair(m_description.gridTab, static_cast<QWidget *>(m_grid));
}

// A date cut short ("2024/0…") tells nothing: a date column is at least as wide as any date
// it shows, whatever width the screen gives it.
void QueryScreen::widenDateColumns() {
    const QFontMetrics metrics = m_grid->fontMetrics();
    QChar widestDigit = QLatin1Char('0');
    for (char digit = '1'; digit <= '9'; ++digit) {
        if (metrics.horizontalAdvance(QLatin1Char(digit)) > metrics.horizontalAdvance(widestDigit))
            widestDigit = QLatin1Char(digit);
    }
    QStyleOptionViewItem cell;
    cell.initFrom(m_grid);
    cell.features = QStyleOptionViewItem::HasDisplay;
    const int gridLine = m_grid->showGrid() ? 1 : 0;
    for (int i = 0; i < m_description.columns.size(); ++i) {
        const GridColumn &column = m_description.columns.at(i);
        if (column.hidden || m_data->recordSet().fieldKind(column.field) != schema::Kind::Date)
            continue;
        cell.text = input::format(QDate(2000, 12, 28), column.displayFormat);
        for (QChar &character : cell.text) {
            if (character.isDigit())
                character = widestDigit;
        }
        const int needed =
            m_grid->style()->sizeFromContents(QStyle::CT_ItemViewItem, &cell, {}, m_grid).width();
        m_grid->setColumnWidth(i, std::max(m_grid->columnWidth(i), needed + gridLine));
    }
}

void QueryScreen::buildButtons() {
    if (!m_description.searchButton.isEmpty()) {
        QPushButton *search = form::button(this, m_description.searchButton, SearchCaption,
                                           twips::rect(m_description.searchButtonTwips));
        connect(search, &QPushButton::clicked, this, &QueryScreen::search);
        m_tabOrder << qMakePair(m_description.searchButtonTab, static_cast<QWidget *>(search));
    }
    QPushButton *close = form::button(this, m_description.closeButton, m_description.closeCaption,
                                      twips::rect(m_description.closeButtonTwips));
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    m_tabOrder << qMakePair(m_description.closeButtonTab, static_cast<QWidget *>(close));
}

// The first control in the tab order has the focus when the screen opens.
void QueryScreen::orderTabs() {
    std::sort(m_tabOrder.begin(), m_tabOrder.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    for (int i = 1; i < m_tabOrder.size(); ++i)
        setTabOrder(m_tabOrder.at(i - 1).second, m_tabOrder.at(i).second);
    if (!m_tabOrder.isEmpty())
        m_tabOrder.front().second->setFocus();
}

void QueryScreen::search() {
    QStringList typed;
    for (const QLineEdit *input : std::as_const(m_inputs))
        typed << input->text();
    const QString filter = searchFilter(m_description, typed);
    MessageService &messages = MessageService::instance();
    if (filter.isEmpty()) {
        messages.beep();
        messages.notice(m_description.emptyInputMessage);
        return;
    }
    try {
        BusyCursor busy;
        RecordSet &rows = m_data->recordSet();
        // The register beside the screen may have saved books since they were read.
        if (rows.isOutOfDate())
            rows.requery();
        rows.setFilter(filter);
    } catch (const Failure &failure) {
        m_data->reportError(failure);
    }
}

void registerQueryScreens() {
    QList<const QueryScreenDescription *> all;
    for (const QueryScreenDescription &description : searchDescriptions())
        all << &description;
    all << &unreadListDescription();
    for (const QueryScreenDescription *description : std::as_const(all)) {
        WindowRegistry::instance().registerFactory(
            description->formName, [description] { return new QueryScreen(*description); });
    }
}

} // namespace hondana
