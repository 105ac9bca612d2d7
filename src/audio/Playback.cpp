#include "audio/Playback.h"

#include "audio/SynthEngine.h"

Playback::Playback(SynthEngine& engine)
    : gate_(std::make_unique<RenderGate>(engine.renderer()))
{
}

void Playback::setRateListener(RateListener* listener)
{
    rateDoor_.close();
    rateListener_ = listener;
    if (listener)
        rateDoor_.open();
}

void Playback::tellRateChanged()
{
    if (rateDoor_.enter()) {
        rateListener_->rateChanged();
        rateDoor_.leave();
    }
}
