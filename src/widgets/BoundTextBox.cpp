#include "widgets/BoundTextBox.h"

#include "widgets/FieldBinding.h"

namespace hondana {

namespace {

const char *const InputMethodSet = "hondanaInputMethodSet";

QString textOf(const QLineEdit *edit) {
    return edit->text();
}
void setTextOf(QLineEdit *edit, const QString &text) {
    edit->setText(text);
    // A value wider than its box is read from its beginning: a name by its first words, a
    // number by its leading digits.
    edit->setCursorPosition(0);
}
void watchEdits(QLineEdit *edit, FieldBinding *binding) {
    // Only the user's edits: text set by the binding itself does not count.
    QObject::connect(edit, &QLineEdit::textEdited, binding, &FieldBinding::markEdited);
}

QString textOf(const QPlainTextEdit *edit) {
    return edit->toPlainText();
}
void setTextOf(QPlainTextEdit *edit, const QString &text) {
    edit->setPlainText(text);
}
void watchEdits(QPlainTextEdit *edit, FieldBinding *binding) {
    // The binding ignores the changes it makes itself while it writes.
    QObject::connect(edit, &QPlainTextEdit::textChanged, binding, &FieldBinding::markEdited);
}

} // namespace

void InputMethod::apply(QWidget *widget, bool on) {
    widget->setProperty(InputMethodSet, true);
    widget->setAttribute(Qt::WA_InputMethodEnabled, on);
    widget->setInputMethodHints(on ? Qt::ImhNone : Qt::ImhPreferNumbers | Qt::ImhNoPredictiveText);
}

template <class Editor>
BoundTextControl<Editor>::BoundTextControl(QWidget *parent)
    : Editor(parent), m_binding(new FieldBinding(
                          this, [this] { return textOf(this); },
                          [this](const QString &text) { setTextOf(this, text); })) {
    watchEdits(this, m_binding);
}

template <class Editor>
void BoundTextControl<Editor>::bind(DataSource *source, const QString &field) {
    m_binding->bind(source, field);
    if (source && !this->property(InputMethodSet).toBool()) {
        InputMethod::apply(this, source->recordSet().fieldKind(field) == schema::Kind::Text);
        this->setProperty(InputMethodSet, false); // still the default: a rebind may change it
    }
}

template <class Editor> DataSource *BoundTextControl<Editor>::dataSource() const {
    return m_binding->dataSource();
}

template <class Editor> QString BoundTextControl<Editor>::field() const {
    return m_binding->field();
}

template <class Editor> void BoundTextControl<Editor>::setDisplayFormat(const QString &format) {
    m_binding->setDisplayFormat(format);
}

template <class Editor> QString BoundTextControl<Editor>::displayFormat() const {
    return m_binding->displayFormat();
}

template <class Editor> void BoundTextControl<Editor>::setInputMethodOn(bool on) {
    InputMethod::apply(this, on);
}

template <class Editor> void BoundTextControl<Editor>::focusOutEvent(QFocusEvent *event) {
    Editor::focusOutEvent(event);
    m_binding->leave();
}

template class BoundTextControl<QLineEdit>;
template class BoundTextControl<QPlainTextEdit>;

BoundTextBox::BoundTextBox(QWidget *parent) : BoundTextControl<QLineEdit>(parent) {}

void BoundTextBox::setRightAligned(bool right) {
    setAlignment((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
}

BoundTextArea::BoundTextArea(QWidget *parent) : BoundTextControl<QPlainTextEdit>(parent) {}

} // namespace hondana
