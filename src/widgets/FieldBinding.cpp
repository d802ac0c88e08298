#include "widgets/FieldBinding.h"

#include "db/InputParsing.h"

#include <QWidget>

namespace hondana {

FieldBinding::FieldBinding(QWidget *widget, std::function<QString()> readText,
                           std::function<void(const QString &)> writeText)
    : QObject(widget), m_widget(widget), m_readText(std::move(readText)),
      m_writeText(std::move(writeText)) {}

FieldBinding::~FieldBinding() {
    if (m_source)
        m_source->removeBoundEditor(this);
}

void FieldBinding::bind(DataSource *source, const QString &field) {
    for (const auto &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    if (m_source)
        m_source->removeBoundEditor(this);
    m_source = source;
    m_field = field;
    m_edited = false;
    if (m_widget->accessibleName().isEmpty())
        m_widget->setAccessibleName(field);
    if (!source)
        return;
    source->addBoundEditor(this);
    connectSignals();
    show();
}

void FieldBinding::connectSignals() {
    RecordSet *set = &m_source->recordSet();
    const auto reshow = [this] { discardEdit(); };
    m_connections << connect(set, &RecordSet::moveComplete, this, reshow)
                  << connect(set, &RecordSet::rowsReset, this, reshow)
                  << connect(set, &RecordSet::rowRemoved, this, reshow)
                  << connect(set, &RecordSet::editCancelled, this, reshow)
                  << connect(set, &RecordSet::rowChanged, this, [this] { show(); });
}

void FieldBinding::setDisplayFormat(const QString &format) {
    m_format = format;
    show();
}

void FieldBinding::markEdited() {
    if (!m_writing)
        m_edited = true;
}

void FieldBinding::leave() {
    if (!m_edited)
        return;
    try {
        commitEdit();
    } catch (const Failure &) {
        // The text stays in the control; the next move or write reports the refusal.
    }
}

void FieldBinding::show() {
    if (m_edited)
        return;
    QString text;
    if (m_source && m_source->recordSet().hasCurrent()) {
        const RecordSet &set = m_source->recordSet();
        if (set.fieldIndex(m_field) >= 0)
            text = input::format(set.value(m_field), m_format);
    }
    m_writing = true;
    if (text != m_readText())
        m_writeText(text);
    m_writing = false;
}

void FieldBinding::commitEdit() {
    if (!m_edited || !m_source)
        return;
    RecordSet &set = m_source->recordSet();
    const QVariant typed = input::parse(m_readText(), set.fieldKind(m_field), m_field);
    const QVariant stored = set.hasCurrent() ? set.value(m_field) : QVariant();
    if (!input::leavesUnchanged(typed, stored))
        set.setValue(m_field, typed);
    m_edited = false;
    show();
}

void FieldBinding::discardEdit() {
    m_edited = false;
    show();
}

} // namespace hondana
