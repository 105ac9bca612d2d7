#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include <pipewire/pipewire.h>

// The connection to a PipeWire server and the thread that runs its loop
// ("tonvelo-pipewire"). Whatever is added to the loop runs on that thread,
// with the loop locked; so do the core's and the stream's events.
class PipeWireLoop {
public:
    // Sources can be added from here on, before the thread starts.
    PipeWireLoop();
    // Call close() first.
    ~PipeWireLoop();

    PipeWireLoop(const PipeWireLoop&) = delete;
    PipeWireLoop& operator=(const PipeWireLoop&) = delete;

    // False when PipeWire cannot even set up a client.
    bool ready() const { return loop_ && context_; }
    bool start();
    // With the loop locked: the connection to the server, made on the first
    // call; null when none answers.
    pw_core* connect();
    // With the loop locked: removes every source and the connection.
    void close();

    spa_source* addEvent(spa_source_event_func_t func, void* data);
    spa_source* addTimer(spa_source_timer_func_t func, void* data);
    // From any thread: the event's function runs on the loop thread soon.
    void signal(spa_source* event);
    // With the loop locked: the timer fires once, after `seconds` (0: never).
    void setTimer(spa_source* timer, long seconds);

    void lock() { pw_thread_loop_lock(loop_.get()); }
    void unlock() { pw_thread_loop_unlock(loop_.get()); }
    // With the loop locked: waits for wake() or up to a second.
    void wait() { pw_thread_loop_timed_wait(loop_.get(), 1); }
    void wake() { pw_thread_loop_signal(loop_.get(), false); }

    // True once the server's socket broke.
    bool gone() const { return gone_.load(); }

private:
    struct LoopDeleter {
        void operator()(pw_thread_loop* l) const { pw_thread_loop_destroy(l); }
    };
    struct ContextDeleter {
        void operator()(pw_context* c) const { pw_context_destroy(c); }
    };

    // The loop thread.
    static void onCoreError(void* self, uint32_t id, int seq, int res, const char* message);

    pw_loop* loop() const { return pw_thread_loop_get_loop(loop_.get()); }

    std::unique_ptr<pw_thread_loop, LoopDeleter> loop_;
    std::unique_ptr<pw_context, ContextDeleter> context_;
    pw_core* core_ = nullptr;
    spa_hook coreListener_ {};
    std::vector<spa_source*> sources_;
    bool started_ = false;
    std::atomic<bool> gone_ { false };
};
