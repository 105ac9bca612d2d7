#pragma once

#include <chrono>
#include <string>
#include <vector>

// What the program asks of a JACK server directly, beside RtMidi: whether
// one runs, which MIDI inputs it has, and when a new connection really
// carries data.

// True when a JACK server answers; never starts one.
bool jackServerRunning();

// A JACK client that only reads the graph. While one is open, the program's
// other JACK clients share its map of the server's memory; opened one after
// another, each would map and lock all of it again.
class JackGraphReader {
public:
    JackGraphReader();
    ~JackGraphReader();

    JackGraphReader(const JackGraphReader&) = delete;
    JackGraphReader& operator=(const JackGraphReader&) = delete;

    // The full names of the MIDI input ports, in the server's order; empty
    // when no server answers.
    std::vector<std::string> midiInputs() const;
    // How many connections the named port has now; 0 when it is not there.
    int connectionCount(const std::string& portName) const;
    bool connected() const { return client_ != nullptr; }
    // True once the server told this client that it shut down, or libjack
    // freed the client because another one heard so first.
    bool serverGone() const;
    // PipeWire's JACK library stands in for JACK's on some systems.
    bool isPipeWire() const;
    // The server's frames per second; 0 when no server answers.
    int sampleRate() const;

private:
    struct Client;
    // Opened, and not freed by libjack since.
    bool usable() const;
    Client* client_ = nullptr;
};

// Counts the connections of one port now, so that a connection made after
// it can be waited for. jack_connect only asks for a connection: data flows
// through it from the cycle in which the server's graph shows it.
class JackConnectionWatch {
public:
    explicit JackConnectionWatch(const std::string& portName);

    bool serverAnswers() const { return graph_.connected(); }
    // True once the port has more connections than at the start.
    bool waitForNewConnection(std::chrono::milliseconds timeout);

private:
    JackGraphReader graph_;
    std::string portName_;
    int before_ = 0;
};
