#include "midi/synth/PipeWireOutput.h"

// Built without PipeWire: the synth plays through FluidSynth's drivers only.
struct PipeWireOutput::Stream { };

PipeWireOutput::PipeWireOutput(std::unique_ptr<Stream> stream)
    : stream_(std::move(stream))
{
}

PipeWireOutput::~PipeWireOutput() = default;

std::unique_ptr<PipeWireOutput> PipeWireOutput::open(SynthEngine&)
{
    return nullptr;
}
