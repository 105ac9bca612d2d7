#include "audio/Playback.h"

#include "audio/SynthEngine.h"

Playback::Playback(SynthEngine& engine)
    : gate_(std::make_unique<RenderGate>(engine.renderer()))
{
}
