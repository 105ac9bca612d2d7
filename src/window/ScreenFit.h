#pragma once

#include <algorithm>

// Where the window goes on its screen, in every toolkit: at start it is
// centred in the screen's available area; on a screen whose area cannot hold
// it, its client area is laid out at a smaller scale, every control and font
// alike, so that the whole window shows.
struct PixelSize {
    int width, height;
};

// The largest factor, at most 1, at which a window fits into `available`:
// its client area, `client` at full size, scales; its frame and menu bar,
// which add `frame` to it, do not.
inline double fittingScale(PixelSize client, PixelSize frame, PixelSize available)
{
    return std::min({ 1.0, double(available.width - frame.width) / client.width,
        double(available.height - frame.height) / client.height });
}

// How far into a stretch of `area` pixels a window `window` pixels long
// starts, centred: never before the stretch, so that its caption stays in reach.
inline int centredStart(int area, int window)
{
    return std::max(0, (area - window) / 2);
}
