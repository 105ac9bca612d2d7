#pragma once

#include <cmath>

// Control rectangles are given in twips: 15 twips are one pixel at 96 dpi.
// A window maps them to its own pixels at a `scale` (its DPI over 96, or
// less on a screen too small for it). Edges are rounded, not sizes, so that
// rectangles that meet at scale 1 still meet.
struct TwipsRect {
    int left, top, width, height;

    constexpr int right() const { return left + width; }
    constexpr int bottom() const { return top + height; }
};

// The pixel edge at `twips` from the client area's corner.
inline int twipsToPixels(int twips, double scale = 1.0)
{
    return static_cast<int>(std::lround(twips * scale / 15));
}
