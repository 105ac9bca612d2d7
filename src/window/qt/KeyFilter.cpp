#include "window/qt/KeyFilter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

#include "window/KeyMap.h"
#include "window/qt/AutoRepeat.h"
#include "window/qt/KeyCode.h"

KeyFilter::KeyFilter(QWidget& window, const HeldKeys& held, KeyHandlers handlers)
    : window_(window)
    , held_(held)
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
        // Repeats of a held key never reach the handlers, neither the
        // presses (Windows, macOS) nor the release+press pairs (X11).
        if (key->isAutoRepeat())
            break;
        const bool press = event->type() == QEvent::KeyPress;
        const int16_t code = matchToPress(press, key->nativeScanCode(), keyCodeOf(*key));
        const int16_t shift = shiftStateOf(key->modifiers());
        if (press)
            handlers_.keyDown(code, shift);
        else
            handlers_.keyUp(code, shift);
        break;
    }
    case QEvent::WindowDeactivate:
        // The activation may pass to one of the window's own menus, and on
        // X11 now and then to one just closed; neither is a loss.
        if (watched->isWidgetType() && isFormOrItsMenu(static_cast<const QWidget*>(watched))
            && !isFormOrItsMenu(QApplication::activeWindow())) {
            pressed_.clear();
            handlers_.deactivate();
        }
        break;
    default:
        break;
    }
    return false;
}

int16_t KeyFilter::matchToPress(bool press, quint32 physicalKey, int16_t code)
{
    if (physicalKey == 0)
        return code;
    if (!press) {
        const auto it = pressed_.find(physicalKey);
        if (it == pressed_.end())
            return code;
        code = it->second;
        pressed_.erase(it);
        return code;
    }
    // A key still held keeps the code of its first press, so that its repeats
    // are still taken for repeats after a change of layout.
    const auto [it, fresh] = pressed_.try_emplace(physicalKey, code);
    const KeyBinding* held = findKey(it->second);
    if (!fresh && held && held_.holds(*held, it->second))
        return it->second;
    it->second = code;
    return code;
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
