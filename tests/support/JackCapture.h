#pragma once

#include <jack/jack.h>
#include <jack/ringbuffer.h>

#include "JackClient.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A JACK client with MIDI input ports that keeps every event it receives,
// the way a synth or a MIDI monitor on the other end would see it.
class JackCapture {
public:
    struct Event {
        int port;
        std::vector<uint8_t> bytes;
        jack_nframes_t frame; // absolute frame time of the event
        std::chrono::steady_clock::time_point cycleTime; // when its process cycle ran
    };

    JackCapture(const std::string& clientName, int portCount = 1);

    JackCapture(const JackCapture&) = delete;
    JackCapture& operator=(const JackCapture&) = delete;

    bool ok() const { return client_.ok(); }
    std::string portName(int port = 0) const;
    std::vector<Event> events() const;
    std::vector<std::vector<uint8_t>> bytes(int port = 0) const;
    // Waits until at least `count` events have arrived in all, or the timeout ends.
    bool waitFor(size_t count, std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) const;
    jack_client_t* client() const { return client_.get(); }

private:
    struct RingFree {
        void operator()(jack_ringbuffer_t* r) const { jack_ringbuffer_free(r); }
    };

    // What the process callback hands over through the ring: fixed size, so
    // that it neither locks nor allocates on JACK's thread.
    struct Record {
        int port;
        uint32_t size; // the event's full size; only the first bytes are kept
        uint8_t bytes[16];
        jack_nframes_t frame;
        std::chrono::steady_clock::time_point cycleTime;
    };

    static int process(jack_nframes_t frames, void* self);
    // Moves what the callback recorded into events_; call with mutex_ held.
    void drain() const;

    std::unique_ptr<jack_ringbuffer_t, RingFree> ring_;
    mutable std::mutex mutex_;
    mutable std::vector<Event> events_;
    // Last, so that it closes, and its callbacks stop, before the events go.
    JackClient client_;
};
