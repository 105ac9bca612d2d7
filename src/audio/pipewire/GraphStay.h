#pragma once

#include <pipewire/pipewire.h>

class CycleWatch;
class IdleRenderer;
class PipeWireLoop;

// Whether the stream stays in the server's graph. An idle synth stays a
// while, handing silence: a player who pauses between phrases finds the
// next press as quick as in steady play. Left alone longer, it leaves: no
// wake-ups at all until the next message.
class GraphStay {
public:
    GraphStay(PipeWireLoop& loop, IdleRenderer& renderer, CycleWatch& cycles);
    bool ok() const { return idleEvent_ && wakeEvent_ && leaveTimer_; }

    // With the loop locked: the stream joins the graph now, in it from the
    // start, even while the synth sleeps: it takes the graph's format now,
    // not at the next note, which a change of rate would cut.
    void joined(pw_stream* stream);
    // Any thread: the renderer went idle, or woke.
    void wentIdle();
    void woke();

private:
    // The loop thread.
    static void onIdle(void* self, uint64_t count);
    static void onWake(void* self, uint64_t count);
    static void onLeave(void* self, uint64_t expirations);

    PipeWireLoop& loop_;
    IdleRenderer& renderer_;
    CycleWatch& cycles_;
    spa_source* idleEvent_;
    spa_source* wakeEvent_;
    spa_source* leaveTimer_;
    // The loop thread's.
    pw_stream* stream_ = nullptr;
    bool inGraph_ = true;
};
