#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "audio/Playback.h"

// One of FluidSynth's own audio drivers ("alsa"), rendering through its
// gate. Each has settings of its own: a driver that writes to them reaches
// nothing else.
class FluidDriverPlayback : public Playback {
public:
    // Null when FluidSynth lacks the driver or it does not open.
    static std::unique_ptr<FluidDriverPlayback> open(SynthEngine& engine, const char* driver);

    ~FluidDriverPlayback() override;

    // The driver ends its thread with an error of its own, or stops asking
    // for sound: its write may wait for ever on a device that takes none,
    // such as a server's plugin after the server died, and only a new open
    // plays again.
    bool alive() const override;
    double rate() const override;

private:
    struct Driver;
    explicit FluidDriverPlayback(SynthEngine& engine);

    // All that the driver's thread reaches, apart from the gate.
    std::unique_ptr<Driver> driver_;
    double rate_ = 0;
    int64_t openedAt_ = 0; // steady_clock nanoseconds
};
