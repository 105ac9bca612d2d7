#pragma once

#include <memory>
#include <string>

#include "Command.h"
#include "PrivateRuntimeDir.h"

// A private PipeWire as a desktop runs it: pipewire, wireplumber (which makes
// the null sink "auto_null" the default) and pipewire-pulse, on a runtime
// folder and a D-Bus session bus of their own, with no sound card. Clients
// of this process find it through PIPEWIRE_RUNTIME_DIR and PULSE_SERVER;
// programs started by the test through environment().
class PipeWireServer {
public:
    PipeWireServer();
    ~PipeWireServer();

    PipeWireServer(const PipeWireServer&) = delete;
    PipeWireServer& operator=(const PipeWireServer&) = delete;

    bool running() const { return ready_; }
    const std::string& runtimeDir() const { return dir_.path(); }
    Environment environment() const;
    // The pipewire process itself, whose thread drives the graph.
    pid_t pid() const { return pipewire_ ? pipewire_->pid() : -1; }

    // Ends the three servers now, as a crash would (SIGKILL); the bus stays.
    void kill();
    // Starts them again; true once the default sink is there.
    bool start();

private:
    PrivateRuntimeDir dir_;
    std::unique_ptr<RunningProgram> bus_;
    std::unique_ptr<RunningProgram> pipewire_;
    std::unique_ptr<RunningProgram> sessionManager_;
    std::unique_ptr<RunningProgram> pulseService_;
    bool ready_ = false;
};
