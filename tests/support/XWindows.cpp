#include "XWindows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};
using DisplayHandle = std::unique_ptr<Display, DisplayCloser>;

// A window may vanish between two calls; its BadWindow error must not end the test program.
int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

DisplayHandle open(const std::string& name)
{
    XSetErrorHandler(ignoreErrors);
    return DisplayHandle(XOpenDisplay(name.c_str()));
}

// A 32-bit window property; Xlib hands each value out as a long.
std::vector<unsigned long> property(Display* d, unsigned long window, Atom name, Atom type, long maxLength)
{
    Atom actualType;
    int format;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(
            d, window, name, 0, maxLength, False, type, &actualType, &format, &count, &after, &data)
            != Success
        || !data)
        return {};
    const auto* values = reinterpret_cast<const unsigned long*>(data);
    std::vector<unsigned long> result(values, values + count);
    XFree(data);
    return result;
}

int channel(unsigned long pixel, unsigned long mask)
{
    if (!mask)
        return 0;
    int shift = 0;
    while (!((mask >> shift) & 1))
        ++shift;
    const unsigned long bits = mask >> shift;
    const unsigned long value = (pixel & mask) >> shift;
    return static_cast<int>(value * 255 / bits);
}

} // namespace

namespace xwindows {

QImage grab(const std::string& display, unsigned long window)
{
    auto d = open(display);
    if (!d)
        return {};
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(d.get(), window, &attributes) || attributes.map_state != IsViewable)
        return {};
    XImage* raw = XGetImage(d.get(), window, 0, 0, static_cast<unsigned>(attributes.width),
        static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!raw)
        return {};
    QImage image(attributes.width, attributes.height, QImage::Format_RGB32);
    for (int y = 0; y < attributes.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < attributes.width; ++x) {
            const unsigned long pixel = XGetPixel(raw, x, y);
            line[x] = qRgb(channel(pixel, raw->red_mask), channel(pixel, raw->green_mask),
                channel(pixel, raw->blue_mask));
        }
    }
    XDestroyImage(raw);
    return image;
}

QRect geometry(const std::string& display, unsigned long window)
{
    auto d = open(display);
    if (!d)
        return {};
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(d.get(), window, &attributes))
        return {};
    int x = 0;
    int y = 0;
    Window child;
    XTranslateCoordinates(d.get(), window, attributes.root, 0, 0, &x, &y, &child);
    return QRect(x, y, attributes.width, attributes.height);
}

unsigned long transientFor(const std::string& display, unsigned long window)
{
    auto d = open(display);
    Window owner = 0;
    if (!d || !XGetTransientForHint(d.get(), window, &owner))
        return 0;
    return owner;
}

std::string windowClass(const std::string& display, unsigned long window)
{
    auto d = open(display);
    XClassHint hint { nullptr, nullptr };
    if (!d || !XGetClassHint(d.get(), window, &hint))
        return {};
    std::string result
        = std::string(hint.res_name ? hint.res_name : "") + "." + (hint.res_class ? hint.res_class : "");
    XFree(hint.res_name);
    XFree(hint.res_class);
    return result;
}

int largestIconSize(const std::string& display, unsigned long window)
{
    auto d = open(display);
    if (!d)
        return 0;
    const auto values
        = property(d.get(), window, XInternAtom(d.get(), "_NET_WM_ICON", False), XA_CARDINAL, 1 << 22);
    // A list of pictures, each as width, height and width * height pixels.
    int largest = 0;
    for (size_t i = 0; i + 1 < values.size();) {
        const unsigned long w = values[i];
        const unsigned long h = values[i + 1];
        if (w == 0 || h == 0 || i + 2 + w * h > values.size())
            break;
        largest = std::max(largest, static_cast<int>(std::min(w, h)));
        i += 2 + w * h;
    }
    return largest;
}

bool isModal(const std::string& display, unsigned long window)
{
    auto d = open(display);
    if (!d)
        return false;
    const auto states = property(d.get(), window, XInternAtom(d.get(), "_NET_WM_STATE", False), XA_ATOM, 64);
    const Atom modal = XInternAtom(d.get(), "_NET_WM_STATE_MODAL", False);
    return std::find(states.begin(), states.end(), modal) != states.end();
}

void close(const std::string& display, unsigned long window)
{
    auto d = open(display);
    if (!d)
        return;
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(d.get(), "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(d.get(), "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(d.get(), window, False, NoEventMask, &event);
    XFlush(d.get());
}

} // namespace xwindows
