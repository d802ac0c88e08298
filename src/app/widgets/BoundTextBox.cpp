#include "app/widgets/BoundTextBox.h"

#include "app/widgets/FieldBinding.h"

namespace hondana {

namespace {

const char *const InputMethodSet = "hondanaInputMethodSet";

// Numbers and dates are typed with the input method off unless the screen says otherwise.
void applyDefaultInputMethod(QWidget *widget, DataControl *control, const QString &field) {
    if (!control || widget->property(InputMethodSet).toBool())
        return;
    InputMethod::apply(widget, control->recordSet().fieldKind(field) == schema::Kind::Text);
    widget->setProperty(InputMethodSet, false);
}

} // namespace

void InputMethod::apply(QWidget *widget, bool on) {
    widget->setProperty(InputMethodSet, true);
    widget->setAttribute(Qt::WA_InputMethodEnabled, on);
    widget->setInputMethodHints(on ? Qt::ImhNone : Qt::ImhPreferNumbers | Qt::ImhNoPredictiveText);
}

BoundTextBox::BoundTextBox(QWidget *parent)
    : QLineEdit(parent),
      m_binding(new FieldBinding(
          this, [this] { return text(); }, [this](const QString &t) { setText(t); })) {
    connect(this, &QLineEdit::textEdited, m_binding, &FieldBinding::markEdited);
}

BoundTextBox::~BoundTextBox() = default;

void BoundTextBox::bind(DataControl *control, const QString &field) {
    m_binding->bind(control, field);
    applyDefaultInputMethod(this, control, field);
}

DataControl *BoundTextBox::dataControl() const {
    return m_binding->dataControl();
}

QString BoundTextBox::field() const {
    return m_binding->field();
}

void BoundTextBox::setDisplayFormat(const QString &format) {
    m_binding->setDisplayFormat(format);
}

QString BoundTextBox::displayFormat() const {
    return m_binding->displayFormat();
}

void BoundTextBox::setRightAligned(bool right) {
    setAlignment((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
}

void BoundTextBox::setInputMethodOn(bool on) {
    InputMethod::apply(this, on);
}

void BoundTextBox::focusOutEvent(QFocusEvent *event) {
    QLineEdit::focusOutEvent(event);
    m_binding->leave();
}

BoundTextArea::BoundTextArea(QWidget *parent)
    : QPlainTextEdit(parent),
      m_binding(new FieldBinding(
          this, [this] { return toPlainText(); }, [this](const QString &t) { setPlainText(t); })) {
    connect(this, &QPlainTextEdit::textChanged, m_binding, &FieldBinding::markEdited);
}

BoundTextArea::~BoundTextArea() = default;

void BoundTextArea::bind(DataControl *control, const QString &field) {
    m_binding->bind(control, field);
    applyDefaultInputMethod(this, control, field);
}

DataControl *BoundTextArea::dataControl() const {
    return m_binding->dataControl();
}

QString BoundTextArea::field() const {
    return m_binding->field();
}

void BoundTextArea::setInputMethodOn(bool on) {
    InputMethod::apply(this, on);
}

void BoundTextArea::focusOutEvent(QFocusEvent *event) {
    QPlainTextEdit::focusOutEvent(event);
    m_binding->leave();
}

} // namespace hondana
