#pragma once

#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QSize>

// Layouts are given in twips (1440 to the inch). They become device-independent pixels at the
// screen's logical DPI, so a layout keeps its proportions and scales on high-DPI screens.
namespace hondana::twips {

inline constexpr double PerInch = 1440.0;

// The primary screen's logical DPI; 96 when there is no screen yet.
double logicalDpi();

// Rounded to the nearest pixel. `dpi` 0 means logicalDpi().
int toPixels(double twips, double dpi = 0);
double fromPixels(int pixels, double dpi = 0);

QPoint point(double left, double top);
QSize size(double width, double height);
QRect rect(double left, double top, double width, double height);
QRect rect(const QRectF &twips);

} // namespace hondana::twips
