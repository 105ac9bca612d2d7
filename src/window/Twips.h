#pragma once

#include <cmath>

#include <QRect>

// Control rectangles are given in twips: 15 twips are one pixel at 96 dpi.
// Qt scales its device-independent pixels for HiDPI screens by itself; a
// screen too small for the window lays it out at a smaller `scale`. Edges are
// rounded, not sizes, so that rectangles that meet at scale 1 still meet.
struct TwipsRect {
    int left, top, width, height;

    constexpr int right() const { return left + width; }
    constexpr int bottom() const { return top + height; }
    QRect toPixels(double scale = 1.0) const
    {
        const auto px = [scale](int twips) { return static_cast<int>(std::lround(twips * scale / 15)); };
        return QRect(QPoint(px(left), px(top)), QPoint(px(right()) - 1, px(bottom()) - 1));
    }
};
