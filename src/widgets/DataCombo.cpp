#include "widgets/DataCombo.h"

#include "db/InputParsing.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QListView>
#include <QMouseEvent>
#include <QStringListModel>

namespace hondana {

namespace {

// The platform's own combo box interface names a box by its current text on this desktop, so a
// screen reader would read "夏目漱石" where the user needs "著者名".
class AccessibleDataCombo : public QAccessibleWidget {
public:
    explicit AccessibleDataCombo(DataCombo *combo)
        : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    QString text(QAccessible::Text type) const override {
        const auto *combo = static_cast<const DataCombo *>(widget());
        if (type == QAccessible::Value)
            return combo->shownText();
        return QAccessibleWidget::text(type);
    }
};

QAccessibleInterface *accessibleDataCombo(const QString &className, QObject *object) {
    if (className == QLatin1String(DataCombo::staticMetaObject.className()))
        return new AccessibleDataCombo(static_cast<DataCombo *>(object));
    return nullptr;
}

} // namespace

DataCombo::DataCombo(QWidget *parent) : QComboBox(parent), m_items(new QStringListModel(this)) {
    static const bool accessibleInstalled = [] {
        QAccessible::installFactory(accessibleDataCombo);
        return true;
    }();
    Q_UNUSED(accessibleInstalled);
    // A stored value the list lacks is shown as the placeholder, in the colour of a value.
    QPalette colours = palette();
    colours.setColor(QPalette::PlaceholderText, colours.color(QPalette::ButtonText));
    setPalette(colours);
    setEditable(false);
    // A collection names thousands of authors. The list is handed over as one block, the box
    // takes its size from its form rather than from measuring every name, and the open list
    // measures one row for all: so a longer list costs the screen next to nothing.
    setModel(m_items);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(8);
    if (auto *list = qobject_cast<QListView *>(view()))
        list->setUniformItemSizes(true);
    // The desktop style would open thousands of names as a menu as tall as the screen; a
    // scrolled list of twenty is what a long master list needs.
    setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    setMaxVisibleItems(20);
    connect(this, &QComboBox::activated, this, &DataCombo::pick);
}

DataCombo::~DataCombo() = default;

void DataCombo::bind(DataSource *source, const QString &field) {
    for (const auto &connection : std::as_const(m_fieldConnections))
        disconnect(connection);
    m_fieldConnections.clear();
    m_source = source;
    m_field = field;
    if (accessibleName().isEmpty())
        setAccessibleName(field);
    if (source) {
        RecordSet *set = &source->recordSet();
        const auto reshow = [this] { showCurrent(); };
        m_fieldConnections << connect(set, &RecordSet::moveComplete, this, reshow)
                           << connect(set, &RecordSet::rowsReset, this, reshow)
                           << connect(set, &RecordSet::rowChanged, this, reshow)
                           << connect(set, &RecordSet::rowRemoved, this, reshow)
                           << connect(set, &RecordSet::editCancelled, this, reshow);
    }
    showCurrent();
}

void DataCombo::setRowSource(DataSource *rowSource, const QString &listField,
                             const QString &boundColumn) {
    for (const auto &connection : std::as_const(m_listConnections))
        disconnect(connection);
    m_listConnections.clear();
    m_rowSource = rowSource;
    m_listField = listField;
    m_boundColumn = boundColumn;
    if (rowSource) {
        RecordSet *set = &rowSource->recordSet();
        const auto refill = [this] { repopulate(); };
        m_listConnections << connect(set, &RecordSet::rowsReset, this, refill)
                          << connect(set, &RecordSet::rowInserted, this, refill)
                          << connect(set, &RecordSet::rowRemoved, this, refill);
    }
    repopulate();
}

QString DataCombo::matchKey(const QVariant &value) {
    if (!value.isValid() || value.isNull())
        return {};
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().toString(Qt::ISODate);
    QString key = value.toString();
    // Restored stamps come back padded with blanks; they are the same stamp.
    while (!key.isEmpty() && key.back().isSpace())
        key.chop(1);
    return key;
}

void DataCombo::repopulate() {
    m_showing = true;
    m_values.clear();
    m_indexOfKey.clear();
    QStringList items;
    if (m_rowSource && m_rowSource->recordSet().isOpen()) {
        const RecordSet &set = m_rowSource->recordSet();
        const int listIndex = set.fieldIndex(m_listField);
        const int boundIndex = m_boundColumn.isEmpty() ? listIndex : set.fieldIndex(m_boundColumn);
        const int rows = set.recordCount();
        items.reserve(rows);
        m_values.reserve(rows);
        for (int row = 0; row < rows; ++row) {
            const QVariant listed = set.valueAt(row, listIndex);
            QString text = input::format(listed);
            if (m_boundColumn.isEmpty())
                text = matchKey(listed);
            items << text;
            const QVariant bound = set.valueAt(row, boundIndex);
            m_values << bound;
            // The first entry of a number wins, as a list read from the top would find it.
            const QString key = matchKey(bound);
            if (!m_indexOfKey.contains(key))
                m_indexOfKey.insert(key, row);
        }
    }
    m_items->setStringList(items);
    m_showing = false;
    showCurrent();
}

void DataCombo::showCurrent() {
    int index = -1;
    QString key;
    if (m_source && m_source->recordSet().hasCurrent() &&
        m_source->recordSet().fieldIndex(m_field) >= 0) {
        key = matchKey(m_source->recordSet().value(m_field));
        if (!key.isNull())
            index = m_indexOfKey.value(key, -1);
    }
    m_showing = true;
    setPlaceholderText(index < 0 && m_boundColumn.isEmpty() ? key : QString());
    setCurrentIndex(index);
    m_showing = false;
}

QString DataCombo::shownText() const {
    return currentIndex() < 0 ? placeholderText() : currentText();
}

void DataCombo::pick(int index) {
    if (m_showing || !m_source || index < 0 || index >= m_values.size())
        return;
    QVariant value = m_values.at(index);
    if (m_boundColumn.isEmpty())
        value = matchKey(value);
    try {
        m_source->recordSet().setValue(m_field, value);
    } catch (const Failure &failure) {
        m_source->reportError(failure);
        showCurrent();
    }
}

void DataCombo::mousePressEvent(QMouseEvent *event) {
    Q_EMIT clicked();
    QComboBox::mousePressEvent(event);
}

} // namespace hondana
