#include "midi/synth/AudioOutput.h"

#include "midi/synth/FluidDriverOutput.h"
#include "midi/synth/JackOutput.h"
#include "midi/synth/PipeWireOutput.h"
#include "midi/synth/PulseOutput.h"
#include "midi/synth/SynthEngine.h"

AudioOutput::AudioOutput(SynthEngine& engine)
    : gate_(std::make_unique<RenderGate>(engine.renderer()))
{
}

// A JACK server that runs was started on purpose, so it goes first, unless
// it is PipeWire under JACK's name: then PipeWire's own stream plays, at its
// own quantum. Then today's desktops: PipeWire through a stream of our own,
// as FluidSynth here has no driver for it and its PulseAudio service adds
// ~19 ms; PulseAudio, through a stream of our own too; the bare card,
// through FluidSynth's own driver.
// FluidSynth never falls back to another driver by itself.
const AudioOutputKind audioOutputOrder[4] = {
    { "jack", [](SynthEngine& e) -> std::unique_ptr<AudioOutput> { return JackOutput::open(e); } },
    { "pipewire", [](SynthEngine& e) -> std::unique_ptr<AudioOutput> { return PipeWireOutput::open(e); } },
    { "pulseaudio", [](SynthEngine& e) -> std::unique_ptr<AudioOutput> { return PulseOutput::open(e); } },
    { "alsa",
        [](SynthEngine& e) -> std::unique_ptr<AudioOutput> { return FluidDriverOutput::open(e, "alsa"); } },
};
