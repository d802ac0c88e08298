#pragma once

#include <QRect>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

// Forms lay their controls out at fixed positions given in twips; these helpers place a control,
// name it after the form's control name and give it an accessible name.
namespace hondana::form {

// The caption without its mnemonic marker: "閉じる(&C)" reads "閉じる(C)".
QString withoutMnemonic(const QString &caption);

// Names `widget`, gives it an accessible name and puts it at `geometry` (pixels, from twips::rect).
void place(QWidget *widget, const QString &name, const QString &accessibleName,
           const QRect &geometry);

QPushButton *button(QWidget *parent, const QString &name, const QString &caption,
                    const QRect &geometry);
QLabel *label(QWidget *parent, const QString &name, const QString &text, const QRect &geometry);

// The control's font at `pointSize`, bold when asked (titles of the forms).
void setFontSize(QWidget *control, double pointSize, bool bold);

// A fixed-size form whose client area is `width` × `height` twips.
void setFixedClientSize(QWidget *form, double width, double height);

} // namespace hondana::form
