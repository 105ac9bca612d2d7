#include "audio/pipewire/CycleSize.h"

#include <chrono>
#include <cstdlib>

#include "audio/pipewire/PipeWireLoop.h"
#include "log/OutputLog.h"

namespace {

// A stream opened again after its server came back keeps the cycle size the
// session settled on.
std::atomic<int> settledFrames { CycleWatch::sizes[0] };

int64_t monotonicNanos()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

CycleSize::CycleSize(PipeWireLoop& loop)
    : loop_(loop)
    , watch_(settledFrames.load())
    , missedEvent_(loop.addEvent(&CycleSize::onMissedCycles, this))
    , chosen_(std::getenv("PIPEWIRE_LATENCY") != nullptr)
{
}

// The graph follows the smallest cycle that its streams ask for; 64 frames
// is the smallest PipeWire allows by default.
std::string CycleSize::latency(int rate) const
{
    return std::to_string(watch_.frames()) + "/" + std::to_string(rate);
}

void CycleSize::rateChanged(int rate)
{
    if (rate == rate_)
        return;
    rate_ = rate;
    watch_.resync();
    ask(watch_.frames());
}

void CycleSize::cycleDone(const spa_io_position* position, bool rendered)
{
    if (!position || !rendered) {
        watch_.resync();
        return;
    }
    const spa_io_clock& clock = position->clock;
    if (watch_.cycleDone(clock.position, clock.duration, clock.next_nsec, monotonicNanos()))
        loop_.signal(missedEvent_);
}

void CycleSize::onMissedCycles(void* data, uint64_t)
{
    auto* self = static_cast<CycleSize*>(data);
    const int frames = self->watch_.judge(monotonicNanos());
    if (!self->stream_ || self->chosen_ || frames == 0)
        return;
    self->ask(frames);
    settledFrames.store(frames);
    qCInfo(outputLog, "pipewire: the stream missed cycles; asking for %d-frame cycles", frames);
}

void CycleSize::ask(int frames)
{
    if (!stream_ || chosen_ || rate_ == 0)
        return;
    const std::string value = std::to_string(frames) + "/" + std::to_string(rate_);
    const spa_dict_item item = SPA_DICT_ITEM_INIT(PW_KEY_NODE_LATENCY, value.c_str());
    const spa_dict dict = SPA_DICT_INIT(&item, 1);
    pw_stream_update_properties(stream_, &dict);
}
