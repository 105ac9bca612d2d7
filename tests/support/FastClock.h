#pragma once

#include "demo/DemoClock.h"

// A demo clock that runs `factor` times faster than real time from the
// moment it is made.
class FastClock : public DemoClock {
public:
    explicit FastClock(int factor)
        : factor_(factor)
        , origin_(std::chrono::steady_clock::now())
    {
    }

    time_point now() const override { return at(std::chrono::steady_clock::now()); }
    duration realTime(duration d) const override { return d / factor_; }

    // This clock's reading at the real time `real`.
    time_point at(time_point real) const { return origin_ + (real - origin_) * factor_; }

private:
    int factor_;
    time_point origin_;
};
