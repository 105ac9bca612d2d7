#pragma once

#include <cstdlib>

// The velocity bar's values on a scroll bar. Every toolkit's vertical scroll
// bar counts its thumb's place from 0 at the top, and its arrows, trough,
// keys and wheel move that place the way they point; the bar's value may run
// the other way (127 at the top, 0 at the bottom), so it is read from the
// place and never set by flipping the bar's look.
struct BarRange {
    int top = 0; // the value with the thumb at the top
    int bottom = 0; // and at the bottom

    int span() const { return std::abs(bottom - top); }
    // The thumb's place for `value`, counted from the top.
    int placeOf(int value) const { return bottom >= top ? value - top : top - value; }
    int valueAt(int place) const { return bottom >= top ? top + place : top - place; }
};
