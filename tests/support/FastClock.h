#pragma once

#include <algorithm>
#include <functional>
#include <vector>

#include "demo/DemoClock.h"

// A demo clock that moves only when the player sleeps: to the deadline plus
// `late`, as a busy machine wakes a sleeper late, so that the steps' times
// do not depend on how fast the machine runs. The player's waits for input
// last 1/factor of the pause in real time.
class FastClock : public DemoClock {
public:
    explicit FastClock(int factor, duration late = std::chrono::milliseconds(5))
        : factor_(factor)
        , late_(late)
    {
    }

    time_point now() const override { return now_; }
    duration realTime(duration d) const override { return d / factor_; }
    void sleepUntil(time_point deadline) override
    {
        now_ = std::max(now_, deadline + late_);
        moves_.push_back({ std::chrono::steady_clock::now(), now_ });
        if (slept)
            slept();
    }

    // This clock's reading at the real time `real`.
    time_point at(time_point real) const
    {
        const auto after = std::find_if(moves_.begin(), moves_.end(), [&](auto m) { return m.real > real; });
        return after == moves_.begin() ? time_point() : std::prev(after)->reading;
    }

    // Called after each sleep, from within the tune.
    std::function<void()> slept;

private:
    struct Move {
        time_point real;
        time_point reading;
    };
    int factor_;
    duration late_;
    time_point now_ {};
    std::vector<Move> moves_;
};
