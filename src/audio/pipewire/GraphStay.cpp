#include "audio/pipewire/GraphStay.h"

#include "audio/CycleWatch.h"
#include "audio/IdleRenderer.h"
#include "audio/pipewire/PipeWireLoop.h"

namespace {

// Longer than a player's pause between phrases.
constexpr long stayInGraphSeconds = 10;

} // namespace

GraphStay::GraphStay(PipeWireLoop& loop, IdleRenderer& renderer, CycleWatch& cycles)
    : loop_(loop)
    , renderer_(renderer)
    , cycles_(cycles)
    , idleEvent_(loop.addEvent(&GraphStay::onIdle, this))
    , wakeEvent_(loop.addEvent(&GraphStay::onWake, this))
    , leaveTimer_(loop.addTimer(&GraphStay::onLeave, this))
{
}

void GraphStay::joined(pw_stream* stream)
{
    stream_ = stream;
    inGraph_ = true;
    if (renderer_.asleep())
        onIdle(this, 0);
}

void GraphStay::wentIdle()
{
    loop_.signal(idleEvent_);
}

void GraphStay::woke()
{
    loop_.signal(wakeEvent_);
}

void GraphStay::onIdle(void* data, uint64_t)
{
    auto* self = static_cast<GraphStay*>(data);
    if (self->stream_ && self->inGraph_)
        self->loop_.setTimer(self->leaveTimer_, stayInGraphSeconds);
}

void GraphStay::onLeave(void* data, uint64_t)
{
    auto* self = static_cast<GraphStay*>(data);
    // A message may have come since the renderer went idle.
    if (self->stream_ && self->inGraph_ && self->renderer_.asleep()) {
        pw_stream_set_active(self->stream_, false);
        self->inGraph_ = false;
    }
}

void GraphStay::onWake(void* data, uint64_t)
{
    auto* self = static_cast<GraphStay*>(data);
    self->loop_.setTimer(self->leaveTimer_, 0);
    if (self->stream_ && !self->inGraph_) {
        self->cycles_.resync();
        pw_stream_set_active(self->stream_, true);
        self->inGraph_ = true;
    }
}
