#pragma once

#include <cstdint>

#include "window/ChoiceMenu.h"

// What Form1 asks of the window that shows it. Each toolkit's window makes
// the controls, paints them and hands its events to Form1's handlers; Form1
// tells it through these calls what to show.
class FormView {
public:
    virtual ~FormView() = default;

    // Entry `index` of `menu` now shows as `entry` says.
    virtual void showEntry(MenuName menu, int16_t index, const MenuEntry& entry) = 0;
    // A modal box with `text` (UTF-8), one OK button, no icon and no title of
    // our own; returns once the user has dismissed it.
    virtual void showMessage(const char* text) = 0;
    // Moves the input focus to key button `keyIndex`, as a key of the keyboard would.
    virtual void focusKey(int16_t keyIndex) = 0;
    // Whether computer keys hold key button `keyIndex`: it reports itself
    // pressed meanwhile.
    virtual void showHeldByKeys(int16_t keyIndex, bool held) = 0;
    // The velocity bar's range: `min` is its value at the top, `max` at the bottom.
    virtual void setVolRange(int16_t min, int16_t max) = 0;
    virtual void setVolValue(int16_t value) = 0;
    virtual int16_t volValue() const = 0;
};
