#pragma once

#include <QPaintDevice>
#include <QRect>
#include <QtMath>

/// Window layouts are given in twips, 1/1440 inch: 15 twips are one pixel at 96 dpi.
inline int twipsToPixels(int twips, qreal dpi)
{
    return qRound(twips * dpi / 1440.0);
}

/// A rectangle given in twips (left, top, width, height), in pixels on the device's screen.
inline QRect twipsRect(const QPaintDevice& device, int left, int top, int width, int height)
{
    const qreal dpiX = device.logicalDpiX();
    const qreal dpiY = device.logicalDpiY();
    return { twipsToPixels(left, dpiX), twipsToPixels(top, dpiY), twipsToPixels(width, dpiX),
        twipsToPixels(height, dpiY) };
}
