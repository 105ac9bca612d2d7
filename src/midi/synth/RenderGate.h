#pragma once

#include <atomic>
#include <cstdint>

class IdleRenderer;

// The one way an audio thread reaches the synth. It opens when its output
// starts to play and closes for good when the output is let go; from then on
// that thread only writes silence, however long it lives on.
class RenderGate {
public:
    explicit RenderGate(IdleRenderer& renderer);

    // Realtime: renders into the buffers, or writes silence while closed;
    // whether the synth itself was rendered.
    bool render(float* left, float* right, int frames, int step);

    void open();
    bool isOpen() const { return open_.load(); }
    // Returns once no render is under way; none starts after it.
    void close();

    // steady_clock nanoseconds of the latest render call, 0 before the first.
    int64_t lastCall() const { return lastCall_.load(std::memory_order_relaxed); }

private:
    bool enter();

    IdleRenderer& renderer_;
    // Both sides store, then load the other's flag: sequentially consistent,
    // so that a close never misses a render that already went in.
    std::atomic<bool> open_ { false };
    std::atomic<int> inside_ { 0 };
    std::atomic<int64_t> lastCall_ { 0 };
};
