#pragma once

#include <memory>
#include <string>

#include "Command.h"
#include "PrivateRuntimeDir.h"

// A private PulseAudio daemon with a null sink, on a runtime folder of its
// own. Clients of this process find it through PULSE_SERVER; programs
// started by the test through environment().
class PulseServer {
public:
    PulseServer();
    ~PulseServer();

    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    bool running() const { return ready_; }
    const std::string& runtimeDir() const { return dir_.path(); }
    Environment environment() const;

    // Ends the daemon now, as a crash would (SIGKILL).
    void kill();
    // Starts it again; true once it answers.
    bool start();

private:
    PrivateRuntimeDir dir_;
    std::unique_ptr<RunningProgram> daemon_;
    bool ready_ = false;
};
