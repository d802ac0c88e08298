#include "widgets/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace hondana::twips {

double logicalDpi() {
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            return screen->logicalDotsPerInch();
    }
    return 96.0;
}

int toPixels(double twips, double dpi) {
    return int(std::lround(twips * (dpi > 0 ? dpi : logicalDpi()) / PerInch));
}

double fromPixels(int pixels, double dpi) {
    return pixels * PerInch / (dpi > 0 ? dpi : logicalDpi());
}

QPoint point(double left, double top) {
    return {toPixels(left), toPixels(top)};
}

QSize size(double width, double height) {
    return {toPixels(width), toPixels(height)};
}

QRect rect(double left, double top, double width, double height) {
    return {point(left, top), size(width, height)};
}

QRect rect(const QRectF &twips) {
    return rect(twips.left(), twips.top(), twips.width(), twips.height());
}

} // namespace hondana::twips
