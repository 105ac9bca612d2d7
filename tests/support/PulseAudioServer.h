#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "PrivateRuntimeDir.h"
#include "ServerProcess.h"

// A private PulseAudio daemon, as desktops without PipeWire run it, with one
// sink as its default: a null sink, or PulseAudio's ALSA sink over the test
// card (support/AlsaCard.cpp, 4 periods of 2 ms), as on a desktop with a
// sound card. Its package is unpacked in the build tree, never installed: it
// conflicts with PipeWire's PulseAudio service. Clients of this process find
// it through PULSE_SERVER.
class PulseAudioServer {
public:
    enum class Sink { Null, TestCard };

    explicit PulseAudioServer(Sink sink = Sink::Null);

    // Whether the build tree holds the daemon (it is fetched while building).
    static bool unpacked();
    bool running() const { return daemon_.running(); }
    Environment environment() const { return daemon_.environment(); }
    std::string server() const { return "unix:" + dir_.path() + "/native"; }
    void kill() { daemon_.kill(); }
    bool restart() { return daemon_.restart(); }
    std::string monitor() const { return sink_ + ".monitor"; }
    // The note the sink plays, from its first sample that reaches
    // `loud`: up to `frames` samples of its first channel at `rate`, with the
    // gaps left out where a stream ran dry (16 zero samples or more; the
    // rest of the note plays late). Empty when nothing reaches `loud`, and
    // shorter when the note does not last, within `timeout`.
    std::vector<float> recordNote(
        float loud, size_t frames, int rate, std::chrono::milliseconds timeout) const;

private:
    PrivateRuntimeDir dir_;
    std::string sink_;
    ServerProcess daemon_;
};
