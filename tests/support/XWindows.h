#pragma once

#include <string>

#include <QImage>
#include <QRect>

// Reads what a client of an X display sees of another program's windows:
// their picture, geometry and properties; and closes them. Every call opens its own
// connection, so a failure in one test never spoils the next.
namespace xwindows {

// The window's contents in device pixels; null when it cannot be read.
QImage grab(const std::string& display, unsigned long window);
// Position on the screen and size, in device pixels.
QRect geometry(const std::string& display, unsigned long window);
// The window a dialog belongs to (WM_TRANSIENT_FOR), 0 for a top-level window.
unsigned long transientFor(const std::string& display, unsigned long window);
// WM_CLASS as "instance.class".
std::string windowClass(const std::string& display, unsigned long window);
// The width and height of the largest picture in _NET_WM_ICON, 0 without one.
int largestIconSize(const std::string& display, unsigned long window);
// Whether the window asks to be modal (_NET_WM_STATE_MODAL).
bool isModal(const std::string& display, unsigned long window);
// Asks the window to close (WM_DELETE_WINDOW), as a title bar's close button does.
void close(const std::string& display, unsigned long window);

} // namespace xwindows
