#pragma once

#include <QRect>

// Control rectangles are given in twips: 15 twips are one pixel at 96 dpi.
// Qt scales its device-independent pixels for HiDPI screens by itself.
struct TwipsRect {
    int left, top, width, height;

    constexpr int right() const { return left + width; }
    constexpr int bottom() const { return top + height; }
    QRect toPixels() const { return QRect(left / 15, top / 15, width / 15, height / 15); }
};
