#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include <QImage>
#include <QRect>

struct _XDisplay;

// A connection to an X display for looking at another program's windows the
// way a window manager would: their names, kinds and pictures, and closing them.
class X11Client {
public:
    using Window = unsigned long;

    struct WindowInfo {
        std::string name;
        QRect geometry;
        bool viewable = false;
        bool dialog = false; // _NET_WM_WINDOW_TYPE_DIALOG
        bool modal = false; // _NET_WM_STATE_MODAL
        Window transientFor = 0; // WM_TRANSIENT_FOR: the window it belongs to
    };

    explicit X11Client(const std::string& display);
    ~X11Client();

    X11Client(const X11Client&) = delete;
    X11Client& operator=(const X11Client&) = delete;

    bool ok() const { return display_ != nullptr; }
    std::vector<Window> topLevels();
    WindowInfo info(Window window);
    // What the window shows on the screen now.
    QImage grab(Window window);
    // Asks the window to close, as a click on its title bar's close button does.
    void close(Window window);

private:
    unsigned long atom(const char* name);
    std::vector<unsigned long> atomList(Window window, const char* property);

    _XDisplay* display_ = nullptr;
};
