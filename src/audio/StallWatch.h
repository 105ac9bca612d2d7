#pragma once

#include <cstdint>

class Playback;
class IdleRenderer;

// Tells when the adopted playback's server stalls: no cycle for a while
// although the synth is awake, and when the synth is first rendered after
// an adopt. It only logs: a server that stalls keeps the synth, and plays
// again when it thaws.
class StallWatch {
public:
    // The supervisor's thread.
    void adopted(const IdleRenderer& renderer);
    void look(const Playback& playback, const IdleRenderer& renderer, const char* name);

private:
    int64_t adoptedAt_ = 0;
    bool stalled_ = false;
    uint64_t renderedAtAdopt_ = 0;
    bool renderedSince_ = false;
};
