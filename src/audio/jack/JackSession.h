#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class JackCallback;
class RenderGate;
struct _jack_client;

// The program's one client of a JACK server, "Tonvelo", as JACK's example
// clients are one: the synth's audio ports and the MIDI port for a chosen
// JACK port are its ports, served by its one process callback, and the
// device menu asks the graph through it. Every libjack call of the program
// is made in this room: the client's open, close and graph queries here,
// the ports' in JackCallback, with the room locked as here, and libjack's
// callbacks there too. Calls that reach the server may wait on one that
// hangs: none is made on the window's thread.
//
// A client lost, when its server died or threw it out, is never touched
// again, neither asked nor closed; its process callback is shut out at once.
// JACK's library frees every lost client of the process at the next
// jack_client_open, which ends its thread; the callback is kept until then.
// PipeWire's library frees nothing by itself, and crashes when it closes a
// lost client whose port held buffers: its client and callback are kept.
class JackSession {
public:
    // The open client, shared by all who use it; a new one when none is open
    // or the open one was lost. Null when no server answers; may wait on a
    // server that hangs.
    static std::shared_ptr<JackSession> join();
    ~JackSession();

    JackSession(const JackSession&) = delete;
    JackSession& operator=(const JackSession&) = delete;

    // False once the server died or threw the client out.
    bool alive() const;
    // PipeWire's JACK library stands in for JACK's on some systems.
    bool isPipeWire() const { return libraryIsPipeWire(); }
    // The same, asked before any client opens.
    static bool libraryIsPipeWire();
    // The server's frames per second; 0 once lost.
    int sampleRate() const;
    // The full names of the MIDI input ports, in the server's order.
    std::vector<std::string> midiInputs() const;

    // The synth's two audio ports, rendered through `gate` in the process
    // callback and connected to the machine's playback ports. One at a time.
    bool addAudio(RenderGate& gate);
    void removeAudio();
    // The MIDI output port, connected to `target`: true once the graph
    // shows the connection, from which cycle on data flows through it.
    bool addMidi(const std::string& target);
    void removeMidi();
    // The sending thread: the message goes out at the start of the next
    // cycle, after those sent before it; false when it cannot. Never waits
    // on the server.
    bool sendMidi(const uint8_t* bytes, size_t size);

private:
    JackSession(_jack_client* client, std::unique_ptr<JackCallback> callback);

    _jack_client* const client_;
    std::unique_ptr<JackCallback> callback_;
};
