#pragma once

#include <QImage>
#include <QRect>

#include "SwayServer.h"

// Real pointer input for the keyboard window under sway, and its menus.
// Menus are popups, which the compositor's tree leaves out: an open one
// shows as the part of the window below the menu bar that changed since
// this object was made.
class WaylandDesktop {
public:
    WaylandDesktop(const SwayServer& sway, const SwayServer::View& window);

    // Clicks at a point of the output; at scale 1 its coordinates are the X pointer's.
    bool click(QPoint at) const;
    // Clicks the first menu title, the device menu's.
    bool clickFirstTitle() const;
    // The menu that shows, once it has stopped changing; empty when none does.
    QRect openMenu() const;
    bool menuClosed() const;
    // Clicks entry `index` of a menu of `count` entries that share its height.
    bool clickEntry(const QRect& menu, int index, int count) const;

private:
    QRect changed() const;

    const SwayServer& sway_;
    QRect window_;
    int menuBar_;
    QImage before_;
};
