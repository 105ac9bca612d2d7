#pragma once

#include <memory>

#include "midi/synth/AudioOutput.h"

// One of FluidSynth's own audio drivers ("jack", "pulseaudio", "alsa", ...).
class FluidDriverOutput : public AudioOutput {
public:
    // Null when FluidSynth lacks the driver or it does not open.
    static std::unique_ptr<FluidDriverOutput> open(SynthEngine& engine, const char* driver);

    ~FluidDriverOutput() override;

private:
    struct Driver;
    explicit FluidDriverOutput(Driver* driver);

    std::unique_ptr<Driver> driver_;
};
