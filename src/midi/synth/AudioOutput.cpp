#include "midi/synth/AudioOutput.h"

#include "midi/ports/JackGraph.h"
#include "midi/synth/FluidDriverOutput.h"
#include "midi/synth/PipeWireOutput.h"

namespace {

using Opener = std::unique_ptr<AudioOutput> (*)(SynthEngine&);

std::unique_ptr<AudioOutput> openJack(SynthEngine& engine)
{
    // libjack, asked for a server that is not there, writes to stderr
    // where nothing of ours can quiet it: ask quietly first. The asking
    // client stays open while FluidSynth's opens, which then shares its map
    // of the server's memory instead of mapping and locking it again.
    const JackGraphReader probe;
    if (!probe.connected())
        return nullptr;
    return FluidDriverOutput::open(engine, "jack");
}

// A JACK server that runs was started on purpose, so it goes first. Then
// today's desktops: PipeWire through a stream of our own, as FluidSynth here
// has no driver for it and its PulseAudio service adds ~19 ms; PulseAudio;
// the bare card. FluidSynth never falls back to another driver by itself.
constexpr Opener order[] = {
    openJack,
    [](SynthEngine& e) -> std::unique_ptr<AudioOutput> { return PipeWireOutput::open(e); },
    [](SynthEngine& e) -> std::unique_ptr<AudioOutput> { return FluidDriverOutput::open(e, "pulseaudio"); },
    [](SynthEngine& e) -> std::unique_ptr<AudioOutput> { return FluidDriverOutput::open(e, "alsa"); },
};

} // namespace

std::unique_ptr<AudioOutput> openAudioOutput(SynthEngine& engine)
{
    for (Opener open : order)
        if (auto output = open(engine))
            return output;
    return nullptr;
}
