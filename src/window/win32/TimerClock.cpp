#include "window/win32/TimerClock.h"

#include <algorithm>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

TimerClock::TimerClock()
{
    // Windows before 10 (1803) knows no high-resolution timer: a plain one still
    // keeps the deadlines absolute.
    timer_
        = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    if (!timer_)
        timer_ = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
}

TimerClock::~TimerClock()
{
    if (timer_)
        CloseHandle(timer_);
}

HANDLE TimerClock::armAt(time_point deadline)
{
    // Relative due times (negative, in 100 ns) follow the same monotonic clock
    // as steady_clock; absolute ones would follow the wall clock.
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - now()).count();
    LARGE_INTEGER due;
    due.QuadPart = -std::max<long long>(1, left / 100);
    SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE);
    return timer_;
}

void TimerClock::sleepUntil(time_point deadline)
{
    if (now() >= deadline)
        return;
    if (!timer_) {
        std::this_thread::sleep_until(deadline);
        return;
    }
    WaitForSingleObject(armAt(deadline), INFINITE);
}
