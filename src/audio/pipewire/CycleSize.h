#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include <pipewire/pipewire.h>
#include <spa/node/io.h>

#include "audio/CycleWatch.h"

class PipeWireLoop;

// The cycle the stream asks the graph for: the shortest, until the stream
// keeps missing cycles while it renders the synth; then a longer one, which
// the rest of the session keeps, also on a server that comes back.
class CycleSize {
public:
    explicit CycleSize(PipeWireLoop& loop);
    bool ok() const { return missedEvent_ != nullptr; }

    // PIPEWIRE_LATENCY's value when the user set it, else what to ask at `rate`.
    std::string latency(int rate) const;
    // With the loop locked.
    void joined(pw_stream* stream) { stream_ = stream; }
    // With the loop locked: the graph's rate changed; the same cycle in
    // frames at the new rate, asked for in time.
    void rateChanged(int rate);
    // The data thread, after each cycle: `rendered` when the synth itself
    // was; a cycle missed while only silence was handed out is no reason.
    void cycleDone(const spa_io_position* position, bool rendered);
    CycleWatch& watch() { return watch_; }

private:
    // The loop thread.
    static void onMissedCycles(void* self, uint64_t count);
    void ask(int frames);

    PipeWireLoop& loop_;
    CycleWatch watch_;
    spa_source* missedEvent_;
    pw_stream* stream_ = nullptr;
    int rate_ = 0;
    // The user chose the cycle: PIPEWIRE_LATENCY.
    const bool chosen_;
};
