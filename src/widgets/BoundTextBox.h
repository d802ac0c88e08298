#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>

namespace hondana {

class DataSource;
class FieldBinding;

// The input method of a bound text control.
struct InputMethod {
    // On: the Japanese input method is enabled. Off: it is disabled and digits are hinted.
    static void apply(QWidget *widget, bool on);
};

// A text control bound to a column of a data source. It shows the current row's value in its
// display format ("yyyy/MM/dd", "#,##0"); what the user types is read by the column's kind and
// assigned when the control is left or before the next move or write. A value the column cannot
// take goes through the data source's error event and the typed text stays in the control.
// Numbers and dates are typed with the input method off unless the screen says otherwise.
template <class Editor> class BoundTextControl : public Editor {
public:
    // The accessible name defaults to the column name until the screen sets its label's text.
    void bind(DataSource *source, const QString &field);
    DataSource *dataSource() const;
    QString field() const;

    void setDisplayFormat(const QString &format);
    QString displayFormat() const;
    void setInputMethodOn(bool on);

    FieldBinding &binding() { return *m_binding; }

protected:
    explicit BoundTextControl(QWidget *parent);
    void focusOutEvent(QFocusEvent *event) override;

private:
    FieldBinding *m_binding;
};

// One line: titles, numbers, dates.
class BoundTextBox : public BoundTextControl<QLineEdit> {
    Q_OBJECT
public:
    explicit BoundTextBox(QWidget *parent = nullptr);
    void setRightAligned(bool right);
};

// Several lines: notes, the agreement text.
class BoundTextArea : public BoundTextControl<QPlainTextEdit> {
    Q_OBJECT
public:
    explicit BoundTextArea(QWidget *parent = nullptr);
};

} // namespace hondana
