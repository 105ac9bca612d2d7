#pragma once

#include <chrono>
#include <functional>

class DemoPlayer;

// What the window lends the demo player while a tune plays: its event loop,
// and a place to keep the user's input until the tune has ended.
class DemoHost {
public:
    virtual ~DemoHost() = default;

    virtual bool isShown() const = 0;
    // Until stopHolding, while `player` plays, user input that reaches the
    // window is deferred and a close request goes to player.requestClose().
    virtual void startHolding(DemoPlayer& player) = 0;
    virtual void stopHolding() = 0;
    // Handles the events that are waiting (painting, a close request).
    virtual void takeWaitingEvents() = 0;
    // Handles events as they come for `realTime` at most, or until `stop` says so.
    virtual void takeEventsFor(
        std::chrono::steady_clock::duration realTime, const std::function<bool()>& stop)
        = 0;
    // Hands on the oldest input deferred, with the effect it would have had live;
    // false when none was left.
    virtual bool handOnDeferredInput() = 0;
    virtual void dropDeferredInput() = 0;
    virtual void closeWindow() = 0;
};
