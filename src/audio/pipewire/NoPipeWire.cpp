#include "audio/pipewire/PipeWirePlayback.h"

// Built without PipeWire: the synth plays through FluidSynth's drivers only.
struct PipeWirePlayback::Stream { };

PipeWirePlayback::PipeWirePlayback(SynthEngine& engine)
    : Playback(engine)
{
}

PipeWirePlayback::~PipeWirePlayback() = default;

std::unique_ptr<PipeWirePlayback> PipeWirePlayback::open(SynthEngine&)
{
    return nullptr;
}

bool PipeWirePlayback::alive() const
{
    return false;
}

double PipeWirePlayback::rate() const
{
    return 0;
}

void PipeWirePlayback::wentIdle() { }

void PipeWirePlayback::woke() { }
