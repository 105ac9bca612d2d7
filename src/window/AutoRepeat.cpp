#include "window/AutoRepeat.h"

#include <QGuiApplication>

#if defined(TONVELO_HAVE_X11) && QT_CONFIG(xcb)
#include <X11/XKBlib.h>
#endif

bool useDetectableAutoRepeat()
{
#if defined(TONVELO_HAVE_X11) && QT_CONFIG(xcb)
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display())
        return false;
    Bool supported = False;
    return XkbSetDetectableAutoRepeat(x11->display(), True, &supported) && supported;
#else
    return false;
#endif
}
