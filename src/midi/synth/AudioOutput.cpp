#include "midi/synth/AudioOutput.h"

#include <cstring>

#include "midi/ports/JackGraph.h"
#include "midi/synth/FluidDriverOutput.h"

namespace {

// Desktop sound servers first, then JACK, then the bare sound card.
// FluidSynth never falls back to another driver by itself.
constexpr const char* fluidDriverOrder[] = {"pipewire", "pulseaudio", "jack", "alsa"};

} // namespace

std::unique_ptr<AudioOutput> openAudioOutput(SynthEngine& engine)
{
    for (const char* driver : fluidDriverOrder) {
        // libjack, asked for a server that is not there, writes to stderr
        // where nothing of ours can quiet it.
        if (std::strcmp(driver, "jack") == 0 && !jackServerRunning())
            continue;
        if (auto output = FluidDriverOutput::open(engine, driver))
            return output;
    }
    return nullptr;
}
