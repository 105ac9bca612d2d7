#pragma once

#include <deque>
#include <functional>

#include <QPointer>
#include <QWindow>

class QEvent;

// User input that comes in while the window is busy, kept as the window
// system gave it and handed on later through the same path, so that Qt makes
// of it what it would have made live: a double click is a click and Qt's
// double click, a shortcut acts, enter and leave follow the pointer.
class DeferredInput {
public:
    // Keeps `event`, which came to `window`; false when it is no user input.
    // Qt makes its double clicks again when the presses are handed on, so
    // those are only noted. A move only replaces the move just before it.
    bool defer(QWindow* window, const QEvent* event);

    bool empty() const { return events_.empty(); }
    // Hands on the oldest event and lets Qt deliver it before this returns.
    void handOnNext();
    void clear() { events_.clear(); }

private:
    struct Event {
        QPointer<QWindow> window;
        QEvent::Type type;
        // Whether Qt took this press for the second of a double click as it came.
        bool doubleClick = false;
        std::function<void(QWindow*)> post;
    };
    std::deque<Event> events_;
};
