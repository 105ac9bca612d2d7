#pragma once

#include <windows.h>

#include <deque>
#include <functional>

#include "demo/DemoHost.h"

class TimerClock;

// The Win32 window's side of the demo: while the tune waits, messages are
// taken from the queue so that the window paints and a close request is
// seen; the user's input among them is kept and handed on after the tune, as
// it came: keys as input again, the rest through the window's own path.
class Win32DemoHost : public DemoHost {
public:
    using Dispatch = std::function<void(MSG&)>;

    explicit Win32DemoHost(Dispatch dispatch);

    void setWindow(HWND window) { window_ = window; }
    // The player's clock, whose timer also ends the waits for messages.
    void setClock(TimerClock& clock) { clock_ = &clock; }
    // Whether a tune defers the input now.
    DemoPlayer* player() const { return player_; }

    bool isShown() const override;
    void startHolding(DemoPlayer& player) override { player_ = &player; }
    void stopHolding() override { player_ = nullptr; }
    void takeWaitingEvents() override;
    void takeEventsFor(
        std::chrono::steady_clock::duration realTime, const std::function<bool()>& stop) override;
    bool handOnDeferredInput() override;
    void dropDeferredInput() override { deferred_.clear(); }
    void closeWindow() override;

private:
    // Whether `message` is the user's input, to be deferred while a tune plays.
    static bool isUserInput(const MSG& message);
    static bool isKey(const MSG& message);
    static bool isStillDown(const MSG& message);

    TimerClock* clock_ = nullptr;
    Dispatch dispatch_;
    HWND window_ = nullptr;
    DemoPlayer* player_ = nullptr;
    std::deque<MSG> deferred_;
    bool quit_ = false;
};
