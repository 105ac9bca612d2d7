#include "window/AutoRepeat.h"

#include <QGuiApplication>

// Only where both the build found libX11 and Qt speaks X11.
#if defined(TONVELO_HAVE_X11)
#if QT_CONFIG(xcb)
#define TONVELO_ASK_X11
#include <X11/XKBlib.h>
#endif
#endif

bool useDetectableAutoRepeat()
{
#ifdef TONVELO_ASK_X11
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display())
        return false;
    Bool supported = False;
    return XkbSetDetectableAutoRepeat(x11->display(), True, &supported) && supported;
#else
    return false;
#endif
}
