#pragma once

#include <windows.h>

#include "demo/DemoClock.h"

// The demo's clock on Windows: a high-resolution waitable timer set to each
// absolute deadline, so that a step is not late by a scheduler tick as a plain
// sleep can be. The same timer wakes the window's wait for messages.
class TimerClock : public DemoClock {
public:
    TimerClock();
    ~TimerClock() override;

    TimerClock(const TimerClock&) = delete;
    TimerClock& operator=(const TimerClock&) = delete;

    time_point now() const override { return std::chrono::steady_clock::now(); }
    duration realTime(duration d) const override { return d; }
    void sleepUntil(time_point deadline) override;

    // Arms the timer for `deadline`; its handle is signalled then.
    HANDLE armAt(time_point deadline);

private:
    HANDLE timer_;
};
