#include "window/qt/AutoRepeat.h"

#include <QGuiApplication>

// Built where libX11 was found; Qt must speak X11 too.
#if QT_CONFIG(xcb)
#include <X11/XKBlib.h>

bool useDetectableAutoRepeat()
{
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display())
        return false;
    Bool supported = False;
    return XkbSetDetectableAutoRepeat(x11->display(), True, &supported) && supported;
}
#else
bool useDetectableAutoRepeat()
{
    return false;
}
#endif
