#pragma once

#include "widgets/DataSource.h"

#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;

namespace hondana {

// What a bound text control does with its field: shows the current row's value in the display
// format, reads what the user typed by the field's kind and assigns it, keeps refused text in
// the control. The control supplies how to read and write its text.
class FieldBinding : public QObject, public BoundEditor {
    Q_OBJECT
public:
    FieldBinding(QWidget *widget, std::function<QString()> readText,
                 std::function<void(const QString &)> writeText);
    ~FieldBinding() override;

    void bind(DataSource *source, const QString &field);
    DataSource *dataSource() const { return m_source; }
    QString field() const { return m_field; }

    void setDisplayFormat(const QString &format);
    QString displayFormat() const { return m_format; }

    // The user changed the text.
    void markEdited();
    // The user left the control: hand over what was typed when it can be read; refused text
    // stays (the next move or write reports it).
    void leave();
    // Shows the current row's value unless the user's text is pending.
    void show();

    void commitEdit() override;
    bool hasPendingEdit() const override { return m_edited; }
    void discardEdit() override;

private:
    void connectSignals();

    QWidget *m_widget;
    std::function<QString()> m_readText;
    std::function<void(const QString &)> m_writeText;
    QPointer<DataSource> m_source;
    QString m_field;
    QString m_format;
    bool m_edited = false;
    bool m_writing = false;
    QList<QMetaObject::Connection> m_connections;
};

} // namespace hondana
