#pragma once

#include <QStringList>

class QWidget;

// Where a window of our own opens: new windows go where the user is looking (the register), never
// at the screen's corner or over a window that is already open there. Called once, from the
// window's first show, before it appears.
namespace hondana::placement {

// Centred over the register when it is shown, else on the screen; inside the screen either way.
void overRegister(QWidget *window);
// Beside the register, on the side of the screen with room, clear of the windows named in
// `clearOf` that are shown (below or above one of them when neither side has room). Without a
// register it is left where the system puts it.
void besideRegister(QWidget *window, const QStringList &clearOf = {});

} // namespace hondana::placement
