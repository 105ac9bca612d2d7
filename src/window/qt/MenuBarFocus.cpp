#include "window/qt/MenuBarFocus.h"

#include <QAccessible>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>

namespace {

// An application has one handler of accessibility events, a plain function.
const MenuBarFocus* listener = nullptr;
QAccessible::UpdateHandler next = nullptr;

} // namespace

MenuBarFocus::MenuBarFocus(QMenuBar& bar)
    : QObject(&bar)
{
    for (QAction* title : bar.actions()) {
        if (QMenu* menu = title->menu()) {
            // Moving to the next menu, this one hides before that one shows.
            connect(menu, &QMenu::aboutToShow, this, &MenuBarFocus::listen);
            connect(menu, &QMenu::aboutToHide, this, &MenuBarFocus::stopListening);
        }
    }
}

MenuBarFocus::~MenuBarFocus()
{
    stopListening();
}

void MenuBarFocus::listen()
{
    if (listener)
        return;
    listener = this;
    next = QAccessible::installUpdateHandler(&MenuBarFocus::update);
}

void MenuBarFocus::stopListening()
{
    if (listener != this)
        return;
    listener = nullptr;
    QAccessible::installUpdateHandler(next);
}

void MenuBarFocus::update(QAccessibleEvent* event)
{
    const auto* widget = qobject_cast<const QWidget*>(event->object());
    if (event->type() == QAccessible::Focus && widget && widget->window()->windowType() != Qt::Popup
        && qobject_cast<const QMenu*>(QApplication::activePopupWidget()))
        return;
    if (next) {
        next(event);
        return;
    }
    // The platform's bridge is reached only by Qt's own path, which a handler replaces.
    QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(&MenuBarFocus::update);
}
