#include "audio/AudioOutput.h"

#include "audio/SynthEngine.h"

AudioOutput::AudioOutput(SynthEngine& engine)
    : gate_(std::make_unique<RenderGate>(engine.renderer()))
{
}
