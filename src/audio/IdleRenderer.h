#pragma once

#include <atomic>
#include <cstdint>

#include <fluidsynth.h>

#include "audio/Door.h"
#include "audio/PeakLimiter.h"

// Renders the synth for whichever playback plays it. Once the playback has
// stayed below hearing for a while and no message came since, it hands
// silence without rendering: an idle synth then costs next to nothing.
// FluidSynth renders blocks of 64 frames, and a message takes effect at the
// next one. The renderer holds the block under way itself: when a message
// comes and what is left of that block is silent, it is dropped, so that a
// note struck in silence starts at once rather than up to a block later.
class IdleRenderer {
public:
    // A playback that can stop asking for audio altogether while idle.
    class Listener {
    public:
        virtual ~Listener() = default;
        // From the rendering thread: must neither lock nor allocate.
        virtual void wentIdle() = 0;
        // From the thread that sent a message while the latest frames handed
        // out were silent, as they are while idle: a playback may drop what
        // of them it still holds, so that the message is heard sooner.
        virtual void woke() = 0;
    };

    IdleRenderer(fluid_synth_t* synth, double sampleRate);

    // Before every message sent to the synth, from any thread: the block
    // that picks the message up is rendered.
    void wake();
    // steady_clock nanoseconds of the latest wake(), 0 before the first.
    int64_t lastWake() const { return lastWake_.load(std::memory_order_relaxed); }
    // Only while nothing renders: a synth made for another rate takes the old one's place.
    void setSynth(fluid_synth_t* synth, double sampleRate);
    // Its calls reach `listener` from here on, or no one; returns once no
    // call to the one before is under way.
    void setListener(Listener* listener);

    // Realtime: `frames` frames into left and right, each `step` floats
    // apart. False when it handed silence without rendering the synth.
    bool render(float* left, float* right, int frames, int step);

    bool idle() const { return idle_.load(std::memory_order_relaxed); }
    // Idle, and no message waits to wake it.
    bool asleep() const { return idle_.load() && !wakeRequested_.load(); }
    // How many of the latest frames handed out a 16-bit card could not play.
    int silentFrames() const { return silentFrames_.load(std::memory_order_relaxed); }
    // Frames rendered by the synth so far, silence handed out not counted.
    uint64_t renderedFrames() const { return rendered_.load(std::memory_order_relaxed); }

private:
    static constexpr int blockFrames = 64;
    static constexpr int maxSilentFrames = 1 << 24; // long past any buffer

    // The synth's frames into the buffers, whole blocks straight from it.
    void pull(float* left, float* right, int frames, int step);
    void dropSilentRest();
    // After handing out `frames` frames whose last `silentTail` were silent.
    void countSilent(int frames, int silentTail);

    fluid_synth_t* synth_;
    PeakLimiter limiter_; // every playback's last stage, so none goes over full scale
    int framesBeforeIdle_;
    int quietFrames_ = 0; // touched by the rendering thread only
    // The block under way and how much of it was handed out; the rendering thread's.
    float blockLeft_[blockFrames] {};
    float blockRight_[blockFrames] {};
    int blockPlayed_ = blockFrames;
    std::atomic<bool> wakeRequested_ { true };
    std::atomic<bool> idle_ { false };
    std::atomic<int> silentFrames_ { 0 };
    std::atomic<uint64_t> rendered_ { 0 };
    std::atomic<int64_t> lastWake_ { 0 };
    // Set only while the door is closed; reached only through it.
    Door listenerDoor_;
    Listener* listener_ = nullptr;
};
