#include "window/qt/DeferredInput.h"

#include <memory>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <private/qguiapplication_p.h>
#include <private/qhighdpiscaling_p.h>
#include <qpa/qwindowsysteminterface.h>

namespace {

using System = QWindowSystemInterface;

bool isMove(QEvent::Type type)
{
    return type == QEvent::MouseMove || type == QEvent::NonClientAreaMouseMove;
}

bool isPress(QEvent::Type type)
{
    return type == QEvent::MouseButtonPress || type == QEvent::NonClientAreaMouseButtonPress;
}

// A press on the window's frame: Qt 6.4 has a call of its own for it, newer Qt
// takes it as a mouse event of a non-client type. The build takes what this Qt has.
template <typename WindowSystem = System>
void postFrameMouse(QWindow* window, ulong time, const QPointingDevice* device, QPointF local, QPointF global,
    Qt::MouseButtons buttons, Qt::MouseButton button, QEvent::Type type, Qt::KeyboardModifiers modifiers,
    Qt::MouseEventSource source)
{
    if constexpr (requires {
                      WindowSystem::handleFrameStrutMouseEvent(
                          window, time, device, local, global, buttons, button, type, modifiers, source);
                  })
        WindowSystem::handleFrameStrutMouseEvent(
            window, time, device, local, global, buttons, button, type, modifiers, source);
    else
        WindowSystem::handleMouseEvent(window, time, device, local, global, buttons, button,
            isMove(type)        ? QEvent::NonClientAreaMouseMove
                : isPress(type) ? QEvent::NonClientAreaMouseButtonPress
                                : QEvent::NonClientAreaMouseButtonRelease,
            modifiers, source);
}

// Positions go back as the window system gives them, in its own pixels.
std::function<void(QWindow*)> postMouse(const QMouseEvent& m)
{
    const bool frame = m.type() == QEvent::NonClientAreaMouseButtonPress
        || m.type() == QEvent::NonClientAreaMouseButtonRelease || m.type() == QEvent::NonClientAreaMouseMove;
    const QEvent::Type type = isMove(m.type()) ? QEvent::MouseMove
        : isPress(m.type())                    ? QEvent::MouseButtonPress
                                               : QEvent::MouseButtonRelease;
    return [frame, type, local = m.position(), global = m.globalPosition(), button = m.button(),
               buttons = m.buttons(), modifiers = m.modifiers(), source = m.source(),
               device = m.pointingDevice(), time = m.timestamp()](QWindow* window) {
        const QPointF nativeLocal = QHighDpi::toNativeLocalPosition(local, window);
        const QPointF nativeGlobal = QHighDpi::toNativeGlobalPosition(global, window);
        if (frame)
            postFrameMouse(
                window, time, device, nativeLocal, nativeGlobal, buttons, button, type, modifiers, source);
        else
            System::handleMouseEvent(
                window, time, device, nativeLocal, nativeGlobal, buttons, button, type, modifiers, source);
    };
}

std::function<void(QWindow*)> postWheel(const QWheelEvent& w)
{
    return [local = w.position(), global = w.globalPosition(), pixels = w.pixelDelta(),
               angle = w.angleDelta(), modifiers = w.modifiers(), phase = w.phase(), source = w.source(),
               inverted = w.inverted(), device = w.pointingDevice(), time = w.timestamp()](QWindow* window) {
        System::handleWheelEvent(window, time, device, QHighDpi::toNativeLocalPosition(local, window),
            QHighDpi::toNativeGlobalPosition(global, window), pixels, angle, modifiers, phase, source,
            inverted);
    };
}

// Through the shortcuts first, as a key from the window system goes.
std::function<void(QWindow*)> postKey(const QKeyEvent& k)
{
    return [type = k.type(), key = k.key(), modifiers = k.modifiers(), scanCode = k.nativeScanCode(),
               virtualKey = k.nativeVirtualKey(), nativeModifiers = k.nativeModifiers(), text = k.text(),
               repeat = k.isAutoRepeat(), count = k.count(), time = k.timestamp()](QWindow* window) {
        System::handleExtendedKeyEvent(window, time, type, key, modifiers, scanCode, virtualKey,
            nativeModifiers, text, repeat, static_cast<ushort>(count));
    };
}

// Touch, tablet and context menu events go to the window as they came.
std::function<void(QWindow*)> sendCopy(const QEvent& event)
{
    return [copy = std::shared_ptr<QEvent>(event.clone())](
               QWindow* window) { QCoreApplication::sendEvent(window, copy.get()); };
}

} // namespace

bool DeferredInput::defer(QWindow* window, const QEvent* event)
{
    const QEvent::Type type = event->type();
    switch (type) {
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonDblClick:
        for (auto it = events_.rbegin(); it != events_.rend(); ++it)
            if (isPress(it->type)) {
                it->doubleClick = true;
                break;
            }
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseMove:
        if (isMove(type) && !events_.empty() && events_.back().window == window
            && isMove(events_.back().type))
            events_.pop_back();
        events_.push_back({ window, type, false, postMouse(*static_cast<const QMouseEvent*>(event)) });
        return true;
    case QEvent::Wheel:
        events_.push_back({ window, type, false, postWheel(*static_cast<const QWheelEvent*>(event)) });
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        events_.push_back({ window, type, false, postKey(*static_cast<const QKeyEvent*>(event)) });
        return true;
    case QEvent::Enter: {
        const auto* enter = static_cast<const QEnterEvent*>(event);
        events_.push_back({ window, type, false,
            [local = enter->position(), global = enter->globalPosition()](QWindow* to) {
                System::handleEnterEvent(to, QHighDpi::toNativeLocalPosition(local, to),
                    QHighDpi::toNativeGlobalPosition(global, to));
            } });
        return true;
    }
    case QEvent::Leave:
        events_.push_back({ window, type, false, [](QWindow* to) { System::handleLeaveEvent(to); } });
        return true;
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::ContextMenu:
        events_.push_back({ window, type, false, sendCopy(*event) });
        return true;
    default:
        return false;
    }
}

void DeferredInput::handOnNext()
{
    const Event event = std::move(events_.front());
    events_.pop_front();
    if (!event.window)
        return;
    // Qt remembers the last press it saw, which may be a later one deferred: a
    // press it did not take for a double click then must not be one now.
    if (isPress(event.type) && !event.doubleClick)
        QGuiApplicationPrivate::mousePressButton = Qt::NoButton;
    event.post(event.window);
    System::flushWindowSystemEvents();
}
