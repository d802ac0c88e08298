#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>

namespace hondana {

class DataControl;
class FieldBinding;

// The shared settings of the bound text controls.
struct InputMethod {
    // On: the Japanese input method is enabled. Off: it is disabled and digits are hinted.
    static void apply(QWidget *widget, bool on);
};

// A one-line text box bound to a column of a data control. It shows the current row's value in
// its display format ("yyyy/MM/dd", "#,##0"); what the user types is read by the column's kind
// and assigned when the box is left or before the next move or write. A value the column cannot
// take goes through the data control's error event and the typed text stays in the box.
class BoundTextBox : public QLineEdit {
    Q_OBJECT
public:
    explicit BoundTextBox(QWidget *parent = nullptr);
    ~BoundTextBox() override;

    // The accessible name defaults to the column name until the screen sets its label's text.
    void bind(DataControl *control, const QString &field);
    DataControl *dataControl() const;
    QString field() const;

    void setDisplayFormat(const QString &format);
    QString displayFormat() const;
    void setRightAligned(bool right);
    void setInputMethodOn(bool on);

    FieldBinding &binding() { return *m_binding; }

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    FieldBinding *m_binding;
};

// A multi-line bound text box (notes, the agreement text); the same rules as BoundTextBox.
class BoundTextArea : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit BoundTextArea(QWidget *parent = nullptr);
    ~BoundTextArea() override;

    void bind(DataControl *control, const QString &field);
    DataControl *dataControl() const;
    QString field() const;
    void setInputMethodOn(bool on);

    FieldBinding &binding() { return *m_binding; }

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    FieldBinding *m_binding;
};

} // namespace hondana
