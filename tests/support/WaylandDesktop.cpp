#include "WaylandDesktop.h"

#include "WaitUntil.h"
#include "window/qt/QtForm.h"

using namespace std::chrono_literals;

WaylandDesktop::WaylandDesktop(const SwayServer& sway, const SwayServer::View& window)
    : sway_(sway)
    , window_(window.geometry)
    , menuBar_(window.geometry.height() - toPixels(controls::client).height())
    , before_(sway.picture(window_))
{
}

bool WaylandDesktop::click(QPoint at) const
{
    return sway_.xdotool({ "mousemove", std::to_string(at.x()), std::to_string(at.y()), "click", "1" });
}

bool WaylandDesktop::clickFirstTitle() const
{
    return click(window_.topLeft() + QPoint(20, menuBar_ / 2));
}

QRect WaylandDesktop::openMenu() const
{
    QRect menu;
    waitUntil([&] { return !(menu = changed()).isEmpty() && menu == changed(); }, 10s);
    return menu;
}

bool WaylandDesktop::menuClosed() const
{
    return waitUntil([&] { return changed().isEmpty(); }, 10s);
}

bool WaylandDesktop::clickEntry(const QRect& menu, int index, int count) const
{
    return !menu.isEmpty()
        && click({ menu.center().x(), menu.top() + menu.height() * (2 * index + 1) / (2 * count) });
}

QRect WaylandDesktop::changed() const
{
    const QImage now = sway_.picture(window_);
    if (now.isNull() || now.size() != before_.size())
        return {};
    QRect area;
    for (int y = menuBar_; y < now.height(); ++y)
        for (int x = 0; x < now.width(); ++x)
            if (now.pixel(x, y) != before_.pixel(x, y))
                area |= QRect(x, y, 1, 1);
    return area.translated(window_.topLeft());
}
