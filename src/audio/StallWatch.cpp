#include "audio/StallWatch.h"

#include <algorithm>
#include <chrono>

#include "audio/IdleRenderer.h"
#include "audio/Playback.h"
#include "log/OutputLog.h"

namespace {

// Logged as a stall: no cycle for this long while the synth is awake.
constexpr int64_t stallAfterNanos = 500'000'000;

int64_t nanosNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

void StallWatch::adopted(const IdleRenderer& renderer)
{
    adoptedAt_ = nanosNow();
    stalled_ = false;
    renderedAtAdopt_ = renderer.renderedFrames();
    renderedSince_ = false;
}

void StallWatch::look(const Playback& playback, const IdleRenderer& renderer, const char* name)
{
    // An idle playback may leave the graph and is then called for nothing.
    const int64_t lastSign = std::max({ playback.gate().lastCall(), renderer.lastWake(), adoptedAt_ });
    const int64_t quiet = nanosNow() - lastSign;
    const bool silent = !renderer.asleep() && quiet > stallAfterNanos;
    if (silent && !stalled_)
        qCInfo(outputLog, "%s: stalled, no cycle for %lld ms; waiting for it", name,
            static_cast<long long>(quiet / 1'000'000));
    else if (!silent && stalled_)
        qCInfo(outputLog, "%s: cycles again after a stall", name);
    stalled_ = silent;
    if (!renderedSince_ && renderer.renderedFrames() != renderedAtAdopt_) {
        renderedSince_ = true;
        qCInfo(outputLog, "%s: the synth renders, seen %lld ms after the adopt", name,
            static_cast<long long>((nanosNow() - adoptedAt_) / 1'000'000));
    }
}
