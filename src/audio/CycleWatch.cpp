#include "audio/CycleWatch.h"

#include <iterator>

namespace {

constexpr int64_t millisecond = 1'000'000;
// The loop thread hears of missed cycles this often at most.
constexpr int64_t signalEvery = 100 * millisecond;

} // namespace

CycleWatch::CycleWatch(int frames)
{
    while (step_ + 1 < static_cast<int>(std::size(sizes)) && sizes[step_] < frames)
        ++step_;
}

bool CycleWatch::cycleDone(uint64_t position, uint64_t duration, uint64_t nextNsec, int64_t nowNsec)
{
    // Missed: cycles went by without this stream, or this one ended after
    // the next should have begun, which is when the graph counts it late.
    const bool skipped = !resync_.exchange(false, std::memory_order_relaxed) && lastPosition_ != 0
        && position > lastPosition_ + lastDuration_;
    const bool late = nextNsec != 0 && nowNsec > static_cast<int64_t>(nextNsec);
    lastPosition_ = position;
    lastDuration_ = duration;
    if (!skipped && !late)
        return false;
    missed_.fetch_add(1, std::memory_order_relaxed);
    if (nowNsec - lastSignal_ < signalEvery)
        return false;
    lastSignal_ = nowNsec;
    return true;
}

int CycleWatch::judge(int64_t nowNsec)
{
    const uint32_t missed = missed_.load(std::memory_order_relaxed);
    const bool news = missed != judged_;
    judged_ = missed;
    if (!news || step_ + 1 >= static_cast<int>(std::size(sizes)))
        return 0;
    if (!stalls_.stalled(nowNsec))
        return 0;
    return sizes[++step_];
}
