#pragma once

#include <chrono>
#include <thread>

// The time in which the demo player sets its deadlines. The player runs on
// the real one; a test may hand it one of its own, so that the tune plays in a
// fraction of its length and its steps' times do not depend on the machine.
class DemoClock {
public:
    using time_point = std::chrono::steady_clock::time_point;
    using duration = std::chrono::steady_clock::duration;

    virtual ~DemoClock() = default;
    virtual time_point now() const = 0;
    // The real time that passes while this clock moves on by `d`.
    virtual duration realTime(duration d) const = 0;
    // Returns once this clock reads `deadline` or later.
    virtual void sleepUntil(time_point deadline) = 0;
};

class SteadyDemoClock : public DemoClock {
public:
    time_point now() const override { return std::chrono::steady_clock::now(); }
    duration realTime(duration d) const override { return d; }
    void sleepUntil(time_point deadline) override { std::this_thread::sleep_until(deadline); }
};
