#pragma once

#include <memory>
#include <span>

#include "audio/Door.h"
#include "audio/IdleRenderer.h"
#include "audio/RenderGate.h"

class SynthEngine;

// Where the synth's sound goes: one client of a sound server that asks for
// audio in the server's own rhythm, through its gate, from the moment the
// gate opens until it closes.
class Playback : public IdleRenderer::Listener {
public:
    explicit Playback(SynthEngine& engine);
    ~Playback() override = default;

    Playback(const Playback&) = delete;
    Playback& operator=(const Playback&) = delete;

    // False once its server or device is gone for good; a server that only
    // stalls keeps it alive.
    virtual bool alive() const = 0;
    // The rate it wants the synth rendered at, one FluidSynth can render; 0
    // while not known yet. The supervisor sets the synth to it.
    virtual double rate() const = 0;
    // A playback that can leave the server's graph while the synth is idle
    // hears of it from the renderer itself while it is the adopted one.
    void wentIdle() override { }
    void woke() override { }

    RenderGate& gate() { return *gate_; }
    const RenderGate& gate() const { return *gate_; }

    // The supervisor, which sets the synth to the playback's rate, hears the
    // moment that rate is learnt or changes, rather than at its next look:
    // a key struck as a server comes back waits no longer than it must.
    class RateListener {
    public:
        virtual ~RateListener() = default;
        // From the server's thread, not a realtime one.
        virtual void rateChanged() = 0;
    };
    // Its calls reach `listener` from here on, or no one; returns once no
    // call to the one before is under way.
    void setRateListener(RateListener* listener);

protected:
    void tellRateChanged();
    // Let go without closing: the gate stays valid for a thread that may
    // never end, and so does whatever the caller keeps with it.
    RenderGate* releaseGate() { return gate_.release(); }

private:
    std::unique_ptr<RenderGate> gate_;
    // Set only while the door is closed; reached only through it.
    Door rateDoor_;
    RateListener* rateListener_ = nullptr;
};

// One kind of sound server, as the synth tries them.
struct PlaybackKind {
    const char* name;
    // Null when the server is not there or does not take the stream. May
    // wait on a server that hangs: the caller gives it a deadline.
    std::unique_ptr<Playback> (*open)(SynthEngine& engine);
    // Whether its server may be there, told at next to no cost: asked before
    // each try while a kind after it plays. Null when only an open can tell.
    bool (*mayAnswer)() = nullptr;
};

// The kinds the synth tries, in order, the first the desktop most likely plays well.
using PlaybackOrder = std::span<const PlaybackKind>;
