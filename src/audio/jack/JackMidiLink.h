#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The program's JACK client carrying MIDI to a chosen JACK port. Joining the
// client, connecting and letting go may each wait on a server that hangs,
// so they run on the JACK port thread, one after another in the order
// asked: a port let go is gone before the next one connects. The window's
// thread only asks, waits a deadline at most, and sends.
class JackMidiLink {
public:
    // Asks for the connection to `port`, and waits for it up to 700 ms.
    explicit JackMidiLink(std::string port);
    // Asks the JACK port thread to let go; never waits for it.
    ~JackMidiLink();

    JackMidiLink(const JackMidiLink&) = delete;
    JackMidiLink& operator=(const JackMidiLink&) = delete;

    // Not connected in time, and not known to fail: the server may answer
    // yet, and the link then carries the notes.
    bool connecting() const;
    bool failed() const;
    // The message goes out at the start of the next cycle; false when the
    // link does not carry it. Never waits on the server.
    bool send(const uint8_t* bytes, size_t size);

    // At shut-down: waits up to `wait` for the JACK port thread to finish
    // what it was asked, so that libjack is not left mid-call.
    static void finish(std::chrono::milliseconds wait);

private:
    struct State;
    std::shared_ptr<State> state_;
};
