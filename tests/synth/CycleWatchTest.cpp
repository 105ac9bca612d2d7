#include <gtest/gtest.h>

#include "audio/CycleWatch.h"

namespace {

constexpr int64_t ms = 1'000'000;
constexpr uint64_t quantum = 64, cycleNs = 1'333'333;

// Cycles from `start` ms on; those in [lateFrom, lateTo) end after their deadline.
int run(CycleWatch& watch, int64_t start, int cycles, int lateFrom = -1, int lateTo = -1)
{
    int asked = 0;
    for (int i = 0; i < cycles; ++i) {
        const int64_t begin = start * ms + i * static_cast<int64_t>(cycleNs);
        const bool late = i >= lateFrom && i < lateTo;
        const auto position = static_cast<uint64_t>(begin / static_cast<int64_t>(cycleNs)) * quantum;
        if (watch.cycleDone(position, quantum, begin + cycleNs, begin + (late ? 2 : 0) * cycleNs))
            asked = std::max(asked, watch.judge(begin));
    }
    return asked;
}

} // namespace

TEST(CycleWatch, OneStallKeepsTheCycleAStallingMachineStepsUpTwiceAndNoFurther)
{
    CycleWatch watch;
    EXPECT_EQ(run(watch, 0, 3000, 10, 200), 0) << "one stall of a quarter second";
    watch.resync();
    EXPECT_EQ(run(watch, 20000, 10), 0) << "the cycles skipped while out of the graph";

    int asked = 0;
    for (int second = 30; second < 40 && asked == 0; ++second)
        asked = run(watch, second * 1000, 750, 5, 6);
    EXPECT_EQ(asked, 128);
    EXPECT_EQ(run(watch, 40000, 750 * 10, 0, 750 * 10), 256) << "late all along";
    EXPECT_EQ(run(watch, 60000, 750 * 10, 0, 750 * 10), 0) << "256 is the longest";
}
