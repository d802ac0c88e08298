#include "widgets/FormLayout.h"

#include "widgets/Twips.h"

#include <QLabel>
#include <QPushButton>

namespace hondana::form {

QString withoutMnemonic(const QString &caption) {
    QString text = caption;
    return text.remove(QLatin1Char('&'));
}

void place(QWidget *widget, const QString &name, const QString &accessibleName,
           const QRect &geometry) {
    widget->setObjectName(name);
    widget->setAccessibleName(accessibleName);
    widget->setGeometry(geometry);
}

QPushButton *button(QWidget *parent, const QString &name, const QString &caption,
                    const QRect &geometry) {
    auto *control = new QPushButton(caption, parent);
    place(control, name, withoutMnemonic(caption), geometry);
    return control;
}

QLabel *label(QWidget *parent, const QString &name, const QString &text, const QRect &geometry) {
    auto *control = new QLabel(text, parent);
    place(control, name, text, geometry);
    return control;
}

void setFontSize(QWidget *control, double pointSize, bool bold) {
    QFont font = control->font();
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    control->setFont(font);
}

void setFixedClientSize(QWidget *form, double width, double height) {
    form->setFixedSize(twips::size(width, height));
}

} // namespace hondana::form
