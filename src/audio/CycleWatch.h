#pragma once

#include <atomic>
#include <cstdint>

#include "audio/RepeatedStalls.h"

// Tells when a stream keeps missing its cycles, and which longer cycle to ask
// for then: a machine that cannot keep 64-frame cycles plays cleanly at 128
// or 256. It only ever steps up; a session that stalled once would stall again.
class CycleWatch {
public:
    static constexpr int sizes[] = { 64, 128, 256 };

    // Starting at the size an earlier stream of the session settled on.
    explicit CycleWatch(int frames = sizes[0]);

    // Realtime, at the end of each cycle, with the graph's clock for it and
    // the monotonic time now: whether the loop thread should judge().
    bool cycleDone(uint64_t position, uint64_t duration, uint64_t nextNsec, int64_t nowNsec);
    // From any thread: the next cycle follows a time out of the graph.
    void resync() { resync_.store(true, std::memory_order_relaxed); }

    // Not realtime: the cycle size to ask for from now on, or 0 to keep it.
    int judge(int64_t nowNsec);
    int frames() const { return sizes[step_]; }

private:
    // The rendering thread's.
    uint64_t lastPosition_ = 0;
    uint64_t lastDuration_ = 0;
    int64_t lastSignal_ = 0;
    std::atomic<bool> resync_ { true };
    std::atomic<uint32_t> missed_ { 0 };

    // The judging thread's.
    uint32_t judged_ = 0;
    RepeatedStalls stalls_;
    int step_ = 0;
};
