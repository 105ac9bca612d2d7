#pragma once

#include "window/Twips.h"

// The window's controls besides the keys: where each stands (twips from the
// client area's corner), its caption (UTF-8) and its font at normal weight.
struct ControlFont {
    const char* family;
    double points;
};

struct Control {
    TwipsRect rect;
    const char* caption;
    ControlFont font;
};

namespace controls {

// The controls reach this far right and down (the English label's corner).
constexpr TwipsRect client { 0, 0, 9255, 10095 };

constexpr TwipsRect vol { 6120, 4800, 375, 2655 };
// Narrower than one character of its font: the word wraps at the spaces and
// its two characters stand one above the other, over the bar.
constexpr Control Label1 { { 6120, 3600, 255, 975 }, "音   量", { "宋体", 14.25 } };
constexpr Control Label2 { { 5280, 7920, 2895, 735 }, "电脑MIDI键盘", { "华文行楷", 15.75 } };
constexpr Control Label3 { { 5280, 9000, 3975, 1095 }, "Play with the mouse, or the keys Z–/, A–; and Q–P",
    { "Times New Roman", 15.75 } };
constexpr Control Command2 { { 1920, 9120, 2535, 735 }, "雪花神剑", { "华文行楷", 21.75 } };

} // namespace controls

constexpr const char* windowCaption = "Tonvelo";
