#pragma once

#include <QWidget>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

// What a window system's focus event makes Qt do: `widget`'s window becomes the
// active one, shown or not. Newer Qt renamed the call; the build takes the one it has.
template <typename WindowSystem = QWindowSystemInterface> void focusFromWindowSystem(QWidget* widget)
{
    widget->winId(); // a window the window system knows
    QWindow* window = widget->windowHandle();
    if constexpr (requires { WindowSystem::handleFocusWindowChanged(window); })
        WindowSystem::handleFocusWindowChanged(window);
    else
        WindowSystem::handleWindowActivated(window);
}
