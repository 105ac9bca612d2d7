#pragma once

#include <jack/jack.h>

#include "JackClient.h"

#include <chrono>
#include <cstdint>
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
        jack_nframes_t frame;                           // absolute frame time of the event
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
    static int process(jack_nframes_t frames, void* self);

    mutable std::mutex mutex_;
    std::vector<Event> events_;
    // Last, so that it closes, and its callbacks stop, before the events go.
    JackClient client_;
};
