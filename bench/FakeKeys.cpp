#include "FakeKeys.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

FakeKeys::FakeKeys(const std::string& display)
{
    display_ = XOpenDisplay(display.c_str());
    int event = 0, error = 0, major = 0, minor = 0;
    if (display_ && !XTestQueryExtension(display_, &event, &error, &major, &minor)) {
        XCloseDisplay(display_);
        display_ = nullptr;
    }
}

FakeKeys::~FakeKeys()
{
    if (display_)
        XCloseDisplay(display_);
}

FakeKeys::Clock::time_point FakeKeys::send(unsigned long keysym, bool press)
{
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    const auto sent = Clock::now();
    XTestFakeKeyEvent(display_, code, press ? True : False, CurrentTime);
    XFlush(display_);
    return sent;
}
