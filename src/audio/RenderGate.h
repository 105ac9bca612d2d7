#pragma once

#include <atomic>
#include <cstdint>

#include "audio/Door.h"

class IdleRenderer;

// The one way an audio thread reaches the synth. It opens when its playback
// starts to play and closes for good when the playback is let go; from then on
// that thread only writes silence, however long it lives on.
class RenderGate {
public:
    explicit RenderGate(IdleRenderer& renderer);

    // Realtime: renders into the buffers, or writes silence while closed;
    // whether the synth itself was rendered.
    bool render(float* left, float* right, int frames, int step);

    // What only the gate's closer holds: code that changes the synth under
    // the audio thread asks for it.
    class Closed {
    public:
        Closed(const Closed&) = delete;
        Closed& operator=(const Closed&) = delete;

    private:
        friend class RenderGate;
        Closed() = default;
    };

    void open() { door_.open(); }
    bool isOpen() const { return door_.isOpen(); }
    // Returns once no render is under way; none starts after it until open().
    Closed close()
    {
        door_.close();
        return {};
    }

    // steady_clock nanoseconds of the latest render call, 0 before the first.
    int64_t lastCall() const { return lastCall_.load(std::memory_order_relaxed); }

private:
    IdleRenderer& renderer_;
    Door door_;
    std::atomic<int64_t> lastCall_ { 0 };
};
