#include "X11Client.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstring>

namespace {

// A window that went away between two calls is not an error worth dying for.
int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

} // namespace

X11Client::X11Client(const std::string& display)
{
    XSetErrorHandler(ignoreErrors);
    display_ = XOpenDisplay(display.c_str());
}

X11Client::~X11Client()
{
    if (display_)
        XCloseDisplay(display_);
}

unsigned long X11Client::atom(const char* name)
{
    return XInternAtom(display_, name, False);
}

std::vector<unsigned long> X11Client::atomList(Window window, const char* property)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> result;
    if (XGetWindowProperty(display_, window, atom(property), 0, 64, False, AnyPropertyType, &type, &format,
            &count, &after, &data)
            == Success
        && data) {
        if (format == 32) {
            const auto* values = reinterpret_cast<const unsigned long*>(data);
            result.assign(values, values + count);
        }
        XFree(data);
    }
    return result;
}

std::vector<X11Client::Window> X11Client::topLevels()
{
    ::Window root = 0, parent = 0;
    ::Window* children = nullptr;
    unsigned count = 0;
    std::vector<Window> result;
    if (XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) {
        result.assign(children, children + count);
        XFree(children);
    }
    return result;
}

X11Client::WindowInfo X11Client::info(Window window)
{
    WindowInfo info;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, window, &attributes))
        return info;
    info.geometry = QRect(attributes.x, attributes.y, attributes.width, attributes.height);
    info.viewable = attributes.map_state == IsViewable;

    XTextProperty name;
    if (XGetTextProperty(display_, window, &name, atom("_NET_WM_NAME"))
        || XGetWMName(display_, window, &name)) {
        if (name.value)
            info.name.assign(reinterpret_cast<const char*>(name.value), name.nitems);
        XFree(name.value);
    }
    const auto types = atomList(window, "_NET_WM_WINDOW_TYPE");
    info.dialog = std::count(types.begin(), types.end(), atom("_NET_WM_WINDOW_TYPE_DIALOG")) > 0;
    const auto states = atomList(window, "_NET_WM_STATE");
    info.modal = std::count(states.begin(), states.end(), atom("_NET_WM_STATE_MODAL")) > 0;
    ::Window owner = 0;
    if (XGetTransientForHint(display_, window, &owner))
        info.transientFor = owner;
    return info;
}

QImage X11Client::grab(Window window)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, window, &attributes) || attributes.map_state != IsViewable)
        return {};
    XImage* image = XGetImage(display_, window, 0, 0, static_cast<unsigned>(attributes.width),
        static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!image)
        return {};
    QImage result(attributes.width, attributes.height, QImage::Format_RGB32);
    for (int y = 0; y < attributes.height; ++y)
        for (int x = 0; x < attributes.width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            result.setPixel(x, y,
                qRgb(int((pixel & image->red_mask) >> 16), int((pixel & image->green_mask) >> 8),
                    int(pixel & image->blue_mask)));
        }
    XDestroyImage(image);
    return result;
}

void X11Client::close(Window window)
{
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = atom("WM_PROTOCOLS");
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(atom("WM_DELETE_WINDOW"));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window, False, NoEventMask, &event);
    XFlush(display_);
}
