#include "window/MenuBarFocus.h"

#include <QApplication>
#include <QFocusEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

MenuBarFocus::MenuBarFocus(QMenuBar& bar)
    : QObject(&bar)
    , bar_(bar)
{
    for (QAction* title : bar.actions()) {
        if (QMenu* menu = title->menu()) {
            connect(menu, &QMenu::aboutToShow, this, &MenuBarFocus::holdFocus);
            connect(menu, &QMenu::aboutToHide, this, &MenuBarFocus::handBackLater);
        }
    }
    bar.installEventFilter(this);
}

void MenuBarFocus::holdFocus()
{
    QWidget* focus = QApplication::focusWidget();
    // Moving from one menu to the next, the bar or the open menu has it already.
    if (!focus || focus == &bar_ || focus->window() != bar_.window())
        return;
    owner_ = focus;
    bar_.setFocus(Qt::MenuBarFocusReason);
}

bool MenuBarFocus::eventFilter(QObject*, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: // Escape leaves the bar once its menus are shut
    case QEvent::MouseButtonRelease:
        handBackLater();
        break;
    case QEvent::FocusOut:
        // Taken elsewhere (a click, a played key): nothing to hand back.
        if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
            owner_ = nullptr;
        break;
    default:
        break;
    }
    return false;
}

// Once the event at hand is done: a menu closing may be the bar moving to the next.
void MenuBarFocus::handBackLater()
{
    QTimer::singleShot(0, this, &MenuBarFocus::handBack);
}

void MenuBarFocus::handBack()
{
    // A highlighted title without its menu is Qt's keyboard navigation of the bar.
    if (!owner_ || QApplication::activePopupWidget() || bar_.activeAction()
        || QApplication::focusWidget() != &bar_)
        return;
    QWidget* owner = owner_;
    owner_ = nullptr;
    owner->setFocus(Qt::MenuBarFocusReason);
}
