#include "widgets/WindowPlacement.h"

#include "widgets/WindowNames.h"
#include "widgets/WindowRegistry.h"

#include <QGuiApplication>
#include <QList>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace hondana::placement {

namespace {

QWidget *shownRegister() {
    QWidget *books = WindowRegistry::instance().existing(windows::Register);
    return books && books->isVisible() ? books : nullptr;
}

QRect screenRoom(const QWidget *near) {
    const QScreen *screen = near ? near->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// Before its first show a window has no frame yet, and a layout may still want more room.
QRect outerRect(const QWidget *window) {
    return QRect(QPoint(), window->frameGeometry().size().expandedTo(window->sizeHint()));
}

// Slides `frame` into `room`; a frame larger than the room keeps its top left corner inside.
QRect keptInside(QRect frame, const QRect &room) {
    frame.moveLeft(std::clamp(frame.left(), room.left(),
                              std::max(room.left(), room.right() - frame.width() + 1)));
    frame.moveTop(std::clamp(frame.top(), room.top(),
                             std::max(room.top(), room.bottom() - frame.height() + 1)));
    return frame;
}

} // namespace

void overRegister(QWidget *window) {
    const QWidget *books = shownRegister();
    const QRect room = screenRoom(books);
    if (room.isEmpty())
        return;
    QRect frame = outerRect(window);
    frame.moveCenter(books ? books->frameGeometry().center() : room.center());
    window->move(keptInside(frame, room).topLeft());
}

void besideRegister(QWidget *window, const QStringList &clearOf) {
    const QWidget *books = shownRegister();
    const QRect room = screenRoom(books);
    if (!books || room.isEmpty())
        return;
    QList<QRect> taken{books->frameGeometry()};
    for (const QString &name : clearOf)
        if (const QWidget *other = WindowRegistry::instance().existing(name);
            other && other != window && other->isVisible())
            taken << other->frameGeometry();

    // The register's sides first; then under or over each window standing beside it.
    const QRect size = outerRect(window);
    const QRect &beside = taken.first();
    QList<QRect> candidates{size.translated(beside.right() + 1, beside.top()),
                            size.translated(beside.left() - size.width(), beside.top())};
    for (const QRect &other : taken.mid(1))
        candidates << size.translated(other.left(), other.bottom() + 1)
                   << size.translated(other.left(), other.top() - size.height());
    for (const QRect &candidate : candidates) {
        const QRect inside = keptInside(candidate, room);
        if (std::none_of(taken.cbegin(), taken.cend(),
                         [&](const QRect &frame) { return frame.intersects(inside); })) {
            window->move(inside.topLeft());
            return;
        }
    }
    // No free room: the side with more of it, over the register rather than off the screen.
    const bool rightWider = room.right() - beside.right() >= beside.left() - room.left();
    window->move(keptInside(candidates.at(rightWider ? 0 : 1), room).topLeft());
}

} // namespace hondana::placement
