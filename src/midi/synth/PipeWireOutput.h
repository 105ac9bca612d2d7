#pragma once

#include <atomic>
#include <memory>

#include <pipewire/pipewire.h>

#include "midi/synth/IdleRenderer.h"

// The synth as a native PipeWire playback stream: PipeWire's realtime thread
// renders it straight into the buffer it hands over, a quantum at a time.
// When the server goes away the stream waits for it and comes back by itself.
class PipeWireOutput {
public:
    // Null when no PipeWire server answers or it refuses the stream.
    static std::unique_ptr<PipeWireOutput> open(IdleRenderer& renderer);
    ~PipeWireOutput();

    PipeWireOutput(const PipeWireOutput&) = delete;
    PipeWireOutput& operator=(const PipeWireOutput&) = delete;

private:
    struct LoopDeleter {
        void operator()(pw_thread_loop* l) const { pw_thread_loop_destroy(l); }
    };
    struct ContextDeleter {
        void operator()(pw_context* c) const { pw_context_destroy(c); }
    };

    explicit PipeWireOutput(IdleRenderer& renderer);

    // With the loop locked.
    bool connect();
    void disconnect();
    void retrySoon();

    static void onCoreError(void* self, uint32_t id, int seq, int res, const char* message);
    static void onStateChanged(void* self, pw_stream_state old, pw_stream_state state, const char* error);
    static void onProcess(void* self);
    static void onRetry(void* self, uint64_t expirations);

    IdleRenderer& renderer_;
    std::unique_ptr<pw_thread_loop, LoopDeleter> loop_;
    std::unique_ptr<pw_context, ContextDeleter> context_;
    pw_core* core_ = nullptr;
    pw_stream* stream_ = nullptr;
    spa_hook coreListener_ {};
    spa_hook streamListener_ {};
    spa_source* retryTimer_ = nullptr;
    pw_stream_state state_ = PW_STREAM_STATE_UNCONNECTED;
};
