#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include <pulse/pulseaudio.h>

// The connection to a PulseAudio daemon and the thread that runs libpulse's
// mainloop ("tonvelo-pulse"). Every callback of the connection and of its
// streams runs on that thread, with the loop locked.
class PulseConnection {
public:
    PulseConnection() = default;
    // Streams on it are gone first.
    ~PulseConnection();

    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    // The opener's thread: connects and learns the daemon's rate, then
    // leaves the loop locked until finishOpen(). False, with the loop not
    // locked, when no daemon answers in time, or it is PipeWire's PulseAudio
    // service while PipeWire answers: PipeWire's own stream plays there.
    bool open();
    // With the loop locked: waits for the callbacks until `done`, a failure
    // or the open's deadline.
    template <typename Done> bool waitFor(Done done)
    {
        while (!done() && !failed_.load() && !timedOut_)
            pa_threaded_mainloop_wait(loop_);
        return done();
    }
    // Ends an open() that returned true, and unlocks the loop; `ok` says
    // whether the stream was taken, and the log says why not.
    void finishOpen(bool ok);

    // The program's name, id and icon, and what it plays.
    static pa_proplist* properties();

    pa_threaded_mainloop* loop() const { return loop_; }
    pa_mainloop_api* api() const { return pa_threaded_mainloop_get_api(loop_); }
    pa_context* context() const { return context_; }
    // 0 when the daemon did not say.
    uint32_t serverRate() const { return serverRate_; }
    // The connection or a stream on it failed, as when the daemon goes away.
    bool failed() const { return failed_.load(); }
    // With the loop locked: a stream failed; true the first time.
    bool fail() { return !failed_.exchange(true); }

private:
    bool connect();
    void endOpen();
    const char* whyNot() const;

    static void onState(pa_context* context, void* self);
    static void onServerInfo(pa_context* context, const pa_server_info* info, void* self);
    static void onDeadline(pa_mainloop_api* api, pa_time_event* event, const timeval* time, void* self);

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    std::atomic<bool> failed_ { false };

    // The mainloop thread's, and the opener's while it waits.
    pa_time_event* deadline_ = nullptr;
    bool timedOut_ = false;
    bool opened_ = false;
    bool toldServer_ = false;
    std::string serverName_;
    uint32_t serverRate_ = 0;
};
