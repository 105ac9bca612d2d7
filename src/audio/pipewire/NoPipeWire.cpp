#include "audio/pipewire/PipeWireOutput.h"

// Built without PipeWire: the synth plays through FluidSynth's drivers only.
struct PipeWireOutput::Stream { };

PipeWireOutput::PipeWireOutput(SynthEngine& engine)
    : AudioOutput(engine)
{
}

PipeWireOutput::~PipeWireOutput() = default;

std::unique_ptr<PipeWireOutput> PipeWireOutput::open(SynthEngine&)
{
    return nullptr;
}

bool PipeWireOutput::alive() const
{
    return false;
}

double PipeWireOutput::rate() const
{
    return 0;
}

void PipeWireOutput::wentIdle() { }

void PipeWireOutput::woke() { }
