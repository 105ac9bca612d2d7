#pragma once

#include <jack/jack.h>
#include <jack/ringbuffer.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "audio/Door.h"

class RenderGate;

// What libjack's threads reach of the program's client: its ports, the
// synth's gate and the ring of MIDI messages. The session keeps it until the
// client's threads are known to be gone: closed by us, or, once the client
// is lost, ended by libjack at the next open.
class JackCallback {
public:
    // `wakeFile`: the file libjack mapped for the client's wake-ups; empty
    // when there is none.
    JackCallback(jack_client_t* client, std::string wakeFile);

    bool ok() const { return ring_ != nullptr; }
    // Once the server died or threw the client out: nothing may touch the
    // client from then on.
    bool lost() const { return lost_.load(); }

    // The libjack calls for the ports, made with the session's room locked,
    // as every call that reaches the client.
    bool addAudio(RenderGate& gate);
    void dropAudio();
    // Asks for the connection to `target`; midiConnected() tells when the
    // graph shows it.
    bool addMidi(const std::string& target);
    bool midiConnected() const;
    void dropMidi();

    // The sending thread: into the ring, for the next cycle to write.
    bool send(const uint8_t* bytes, size_t size);

    // libjack's process thread, realtime, once for each cycle.
    static int process(jack_nframes_t frames, void* self);
    // libjack's notification thread, or its process thread when a cycle
    // fails; PipeWire's library calls them on its loop thread.
    static void shutDown(jack_status_t code, const char* reason, void* self);
    static void shutDownUntold(void* self) { shutDown(JackFailure, nullptr, self); }

private:
    struct RingFree {
        void operator()(jack_ringbuffer_t* ring) const { jack_ringbuffer_free(ring); }
    };

    void openUnlessLost(Door& door);

    jack_client_t* const client_;
    const std::string wakeFile_;
    std::atomic<bool> lost_ { false };
    // The process callback passes through these to the ports and what they reach.
    Door audio_;
    Door midi_;
    RenderGate* gate_ = nullptr;
    jack_port_t* left_ = nullptr;
    jack_port_t* right_ = nullptr;
    jack_port_t* midiOut_ = nullptr;
    // Written, and reset while the MIDI door is closed, under `sending_`;
    // read by the process thread alone.
    std::unique_ptr<jack_ringbuffer_t, RingFree> ring_;
    std::mutex sending_;
};
