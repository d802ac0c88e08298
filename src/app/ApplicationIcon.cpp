#include "app/ApplicationIcon.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

namespace hondana {

namespace {

QPixmap drawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2e, 0x5e, 0x3e));
    painter.drawRoundedRect(QRectF(0, 0, size, size), size / 8.0, size / 8.0);
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(size * 3 / 4);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0xf4, 0xec, 0xd8));
    painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("本"));
    return pixmap;
}

} // namespace

QIcon applicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addPixmap(drawIcon(size));
    return icon;
}

} // namespace hondana
