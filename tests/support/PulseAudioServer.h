#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "PrivateRuntimeDir.h"
#include "ServerProcess.h"

// A private PulseAudio daemon, as desktops without PipeWire run it, with a
// null sink "tonvelo_null" as its default and no sound card. Its package is
// unpacked in the build tree, never installed: it conflicts with PipeWire's
// PulseAudio service. Clients of this process find it through PULSE_SERVER.
class PulseAudioServer {
public:
    PulseAudioServer();

    // Whether the build tree holds the daemon (it is fetched while building).
    static bool unpacked();
    bool running() const { return daemon_.running(); }
    Environment environment() const { return daemon_.environment(); }
    std::string server() const { return "unix:" + dir_.path() + "/native"; }
    void kill() { daemon_.kill(); }
    bool restart() { return daemon_.restart(); }
    // What the null sink plays for `span`, its first channel at `rate`.
    std::vector<float> record(std::chrono::milliseconds span, int rate) const;

private:
    PrivateRuntimeDir dir_;
    ServerProcess daemon_;
};
