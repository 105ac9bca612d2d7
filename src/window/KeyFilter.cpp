#include "window/KeyFilter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWindow>

#include "window/AutoRepeat.h"
#include "window/Form1.h"
#include "window/KeyCode.h"

KeyFilter::KeyFilter(Form1& form)
    : form_(form)
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
        // Repeats of a held key never reach the handlers, neither the
        // presses (Windows, macOS) nor the release+press pairs (X11).
        if (key->isAutoRepeat())
            break;
        const int16_t code = keyCodeOf(*key);
        const int16_t shift = shiftStateOf(key->modifiers());
        if (event->type() == QEvent::KeyPress)
            form_.Form_KeyDown(code, shift);
        else
            form_.Form_KeyUp(code, shift);
        break;
    }
    case QEvent::WindowDeactivate:
        // The activation may pass to one of the window's own menus, and on
        // X11 now and then to one just closed; neither is a loss.
        if (watched->isWidgetType() && isFormOrItsMenu(static_cast<const QWidget*>(watched))
            && !isFormOrItsMenu(QApplication::activeWindow()))
            form_.Form_Deactivate();
        break;
    default:
        break;
    }
    return false;
}

bool KeyFilter::isFormOrItsMenu(const QWidget* widget) const
{
    if (widget == &form_)
        return true;
    if (!widget || widget->windowType() != Qt::Popup)
        return false;
    for (const QObject* o = widget; o; o = o->parent())
        if (o == &form_)
            return true;
    return false;
}

bool KeyFilter::isFormWindow(const QObject* window) const
{
    if (window == form_.windowHandle())
        return true;
    // While one of the window's own menus is open the keys go to the menu's
    // window; they are still the keys of this window.
    for (const QWidget* top : QApplication::topLevelWidgets())
        if (top->windowHandle() == window)
            return isFormOrItsMenu(top);
    return false;
}
