#include "MapWatcher.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

namespace {

std::string nameOf(Display* display, Window window)
{
    std::string name;
    XTextProperty text;
    if (XGetTextProperty(display, window, &text, XInternAtom(display, "_NET_WM_NAME", False))
        || XGetWMName(display, window, &text)) {
        if (text.value)
            name.assign(reinterpret_cast<const char*>(text.value), text.nitems);
        XFree(text.value);
    }
    return name;
}

// `window` when it has the name, else the first window within it that has it:
// a window manager maps its frame around the program's own window.
Window named(Display* display, Window window, const std::string& name, int depth = 2)
{
    if (nameOf(display, window) == name)
        return window;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (depth > 0 && XQueryTree(display, window, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; ++i)
            found = named(display, children[i], name, depth - 1);
        XFree(children);
    }
    return found;
}

} // namespace

MapWatcher::MapWatcher(const std::string& display)
{
    display_ = XOpenDisplay(display.c_str());
    if (!display_)
        return;
    XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
    XSync(display_, False);
}

MapWatcher::~MapWatcher()
{
    if (display_)
        XCloseDisplay(display_);
}

std::optional<MapWatcher::Mapped> MapWatcher::waitForWindow(
    const std::string& name, Clock::time_point deadline)
{
    while (display_) {
        while (XPending(display_)) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type != MapNotify)
                continue;
            const auto time = Clock::now();
            const Window window = named(display_, event.xmap.window, name);
            if (!window)
                continue;
            Window owner = 0;
            const bool dialog = XGetTransientForHint(display_, window, &owner) && owner != 0;
            return Mapped { time, window, dialog };
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd p { ConnectionNumber(display_), POLLIN, 0 };
        poll(&p, 1, static_cast<int>(left.count()));
    }
    return std::nullopt;
}
