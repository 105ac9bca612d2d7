#include "audio/ServerOrder.h"

#include "audio/FluidDriverPlayback.h"
#include "audio/SocketAnswers.h"
#include "audio/jack/JackPlayback.h"
#include "audio/jack/JackSession.h"
#include "audio/pipewire/PipeWirePlayback.h"
#include "audio/pulse/PulsePlayback.h"

namespace {

// A JACK server that runs was started on purpose, so it goes first, unless
// it is PipeWire under JACK's name: then PipeWire's own stream plays, at its
// own quantum. Then today's desktops: PipeWire through a stream of our own,
// as FluidSynth here has no driver for it and its PulseAudio service adds
// ~19 ms; PulseAudio, through a stream of our own too; the bare card,
// through FluidSynth's own driver.
// FluidSynth never falls back to another driver by itself.
constexpr PlaybackKind kinds[] = {
    { "jack", [](SynthEngine& e) -> std::unique_ptr<Playback> { return JackPlayback::open(e); },
        [] { return !JackSession::libraryIsPipeWire(); } },
    { "pipewire", [](SynthEngine& e) -> std::unique_ptr<Playback> { return PipeWirePlayback::open(e); },
        &pipeWireAnswers },
    { "pulseaudio", [](SynthEngine& e) -> std::unique_ptr<Playback> { return PulsePlayback::open(e); },
        &pulseAudioAnswers },
    { "alsa",
        [](SynthEngine& e) -> std::unique_ptr<Playback> { return FluidDriverPlayback::open(e, "alsa"); } },
};

} // namespace

const PlaybackOrder serverOrder { kinds };
