#include "window/qt/KeyFilter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

#include "window/qt/AutoRepeat.h"
#include "window/qt/QtKeys.h"

KeyFilter::KeyFilter(QWidget& window, KeyHandlers handlers)
    : window_(window)
    , handlers_(std::move(handlers))
{
    useDetectableAutoRepeat();
    // Watching the application rather than a widget: a key event first
    // reaches a window, once, and only then its focused control, whose
    // parents may see it again as it propagates.
    QApplication::instance()->installEventFilter(this);
}

KeyFilter::~KeyFilter()
{
    QApplication::instance()->removeEventFilter(this);
}

bool KeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        if (!watched->isWindowType() || !isFormWindow(watched))
            break;
        const auto* key = static_cast<const QKeyEvent*>(event);
        if (!isReal(*key))
            break;
        if (event->type() == QEvent::KeyPress)
            handlers_.keyDown(computerKeyOf(*key));
        else
            handlers_.keyUp(computerKeyOf(*key));
        break;
    }
    case QEvent::WindowDeactivate:
        // The activation may pass to one of the window's own menus, and on
        // X11 now and then to one just closed; neither is a loss.
        if (watched->isWidgetType() && isFormOrItsMenu(static_cast<const QWidget*>(watched))
            && !isFormOrItsMenu(QApplication::activeWindow())) {
            down_.clear();
            handlers_.deactivate();
        }
        break;
    default:
        break;
    }
    return false;
}

bool KeyFilter::isReal(const QKeyEvent& key)
{
    // Qt marks the release+press pairs of X11's plain auto-repeat; with its
    // detectable auto-repeat, a held key comes again as unmarked presses.
    if (key.isAutoRepeat())
        return false;
    const quint32 physical = key.nativeScanCode();
    if (physical == 0)
        return true;
    if (key.type() == QEvent::KeyPress)
        return down_.insert(physical).second;
    down_.erase(physical);
    return true;
}

bool KeyFilter::isFormOrItsMenu(const QWidget* widget) const
{
    if (widget == &window_)
        return true;
    if (!widget || widget->windowType() != Qt::Popup)
        return false;
    for (const QObject* o = widget; o; o = o->parent())
        if (o == &window_)
            return true;
    return false;
}

bool KeyFilter::isFormWindow(const QObject* window) const
{
    if (window == window_.windowHandle())
        return true;
    // While one of the window's own menus is open the keys go to the menu's
    // window; they are still the keys of this window.
    for (const QWidget* top : QApplication::topLevelWidgets())
        if (top->windowHandle() == window)
            return isFormOrItsMenu(top);
    return false;
}
