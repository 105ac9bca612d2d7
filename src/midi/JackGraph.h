#pragma once

#include <chrono>
#include <string>
#include <vector>

// What the program asks of a JACK server directly, beside RtMidi: whether
// one runs, which MIDI inputs it has, and when a new connection really
// carries data.

// True when a JACK server answers; never starts one.
bool jackServerRunning();

// The full names of the MIDI input ports, in the server's order; empty when
// no server answers.
std::vector<std::string> jackMidiInputs();

// Counts the connections of one port now, so that a connection made after
// it can be waited for. jack_connect only asks for a connection: data flows
// through it from the cycle in which the server's graph shows it.
class JackConnectionWatch {
public:
    explicit JackConnectionWatch(const std::string& portName);
    ~JackConnectionWatch();

    JackConnectionWatch(const JackConnectionWatch&) = delete;
    JackConnectionWatch& operator=(const JackConnectionWatch&) = delete;

    // True once the port has more connections than at the start.
    bool waitForNewConnection(std::chrono::milliseconds timeout);

private:
    int connectionCount() const;

    struct Client;
    Client* client_ = nullptr;
    std::string portName_;
    int before_ = 0;
};
