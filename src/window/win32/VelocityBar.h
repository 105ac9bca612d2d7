#pragma once

#include <windows.h>

#include <cstdint>

#include "window/BarRange.h"

struct IAccPropServices;

// The velocity bar: Windows' own vertical scroll bar, which counts from its
// top, showing a value that may run the other way. Small step 1, large step
// 10; a drag changes the value where it ends. Screen readers hear the value,
// not the control's own count from the top.
class VelocityBar {
public:
    VelocityBar() = default;
    ~VelocityBar();

    VelocityBar(const VelocityBar&) = delete;
    VelocityBar& operator=(const VelocityBar&) = delete;

    void create(HWND parent, int id);
    HWND handle() const { return bar_; }

    // `top` is the value with the thumb at the top, `bottom` at the bottom.
    void setRange(int16_t top, int16_t bottom);
    void setValue(int16_t value);
    int16_t value() const;

    // A WM_VSCROLL request of the bar: true when it moved the thumb.
    bool scroll(int request);
    // A wheel turn of `delta` (WHEEL_DELTA a notch): up moves the thumb up.
    bool turn(int delta);

private:
    void announce();

    HWND bar_ = nullptr;
    IAccPropServices* annotations_ = nullptr;
    BarRange range_;
    int wheelRest_ = 0;
};
