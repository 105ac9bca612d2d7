#include "audio/pulse/PulseOutput.h"

// Built without PulseAudio: the synth plays through the other servers.
struct PulseOutput::Stream { };

PulseOutput::PulseOutput(SynthEngine& engine)
    : AudioOutput(engine)
{
}

PulseOutput::~PulseOutput() = default;

std::unique_ptr<PulseOutput> PulseOutput::open(SynthEngine&)
{
    return nullptr;
}

bool PulseOutput::alive() const
{
    return false;
}

double PulseOutput::rate() const
{
    return 0;
}

void PulseOutput::wentIdle() { }

void PulseOutput::woke() { }
