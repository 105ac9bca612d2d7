#pragma once

#include <atomic>
#include <memory>

#include "midi/synth/AudioOutput.h"

class JackGraphReader;

// One of FluidSynth's own audio drivers ("jack", "alsa"),
// rendering through its gate. Each has settings of its own: a driver that
// writes to them (JACK's writes its server's rate) reaches nothing else.
class FluidDriverOutput : public AudioOutput {
public:
    // Null when FluidSynth lacks the driver or it does not open.
    static std::unique_ptr<FluidDriverOutput> open(SynthEngine& engine, const char* driver);
    // The JACK driver, when a JACK server answers at a rate the synth can
    // render and it is not PipeWire under JACK's name.
    static std::unique_ptr<FluidDriverOutput> openJack(SynthEngine& engine);

    ~FluidDriverOutput() override;

    // JACK tells its clients when the server shuts down; the other drivers
    // end their thread with an error of their own.
    bool alive() const override;
    double rate() const override { return rate_; }

private:
    struct Driver;
    FluidDriverOutput(SynthEngine& engine, double rate);
    static std::unique_ptr<FluidDriverOutput> open(SynthEngine& engine, const char* driver, double rate);

    // JACK only: a client of ours beside FluidSynth's that hears of the
    // server's end. It closes after the driver's.
    std::unique_ptr<JackGraphReader> jack_;
    // All that the driver's thread reaches, apart from the gate.
    std::unique_ptr<Driver> driver_;
    void forgetDeadServer() const;
    double rate_;
    mutable std::atomic<bool> deadServerForgotten_ { false };
};
