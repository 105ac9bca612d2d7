#pragma once

#include <atomic>
#include <memory>
#include <string>

#include <fluidsynth.h>

#include "midi/synth/AudioOutput.h"

class JackGraphReader;

// One of FluidSynth's own audio drivers ("jack", "pulseaudio", "alsa"),
// rendering through its gate.
class FluidDriverOutput : public AudioOutput {
public:
    // Null when FluidSynth lacks the driver or it does not open.
    static std::unique_ptr<FluidDriverOutput> open(SynthEngine& engine, const char* driver);
    // The JACK driver, when a JACK server answers and it is not PipeWire
    // under JACK's name.
    static std::unique_ptr<FluidDriverOutput> openJack(SynthEngine& engine);

    ~FluidDriverOutput() override;

    // JACK tells its clients when the server shuts down; the other drivers
    // end their thread with an error of their own.
    bool alive() const override;

private:
    FluidDriverOutput(SynthEngine& engine, const char* name);

    bool start(SynthEngine& engine);
    static int render(void* self, int frames, int nfx, float* fx[], int nout, float* out[]);

    std::string name_;
    // Set before the driver's thread starts, read by it.
    const bool watchesErrors_;
    fluid_audio_driver_t* driver_ = nullptr;
    // JACK only: a client of ours beside FluidSynth's that hears of the server's end.
    std::unique_ptr<JackGraphReader> jack_;
    std::atomic<bool> failed_ { false };
};
