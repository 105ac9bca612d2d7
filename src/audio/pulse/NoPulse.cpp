#include "audio/pulse/PulsePlayback.h"

// Built without PulseAudio: the synth plays through the other servers.
struct PulsePlayback::Stream { };

PulsePlayback::PulsePlayback(SynthEngine& engine)
    : Playback(engine)
{
}

PulsePlayback::~PulsePlayback() = default;

std::unique_ptr<PulsePlayback> PulsePlayback::open(SynthEngine&)
{
    return nullptr;
}

bool PulsePlayback::alive() const
{
    return false;
}

double PulsePlayback::rate() const
{
    return 0;
}

void PulsePlayback::wentIdle() { }

void PulsePlayback::woke() { }
