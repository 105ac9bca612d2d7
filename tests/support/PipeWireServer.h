#pragma once

#include <string>

#include <QJsonObject>

#include "Command.h"
#include "PrivateRuntimeDir.h"
#include "ServerProcess.h"

// A private PipeWire as a desktop runs it: pipewire, wireplumber (which makes
// the null sink "auto_null" the default) and pipewire-pulse, on a runtime
// folder and a D-Bus session bus of their own, with no sound card. Clients
// of this process find it through PIPEWIRE_RUNTIME_DIR and PULSE_SERVER;
// programs started by the test through environment().
class PipeWireServer {
public:
    // PulseAudioOnly: clients reach only pipewire-pulse's PulseAudio socket,
    // as on a desktop whose PulseAudio is PipeWire's; the native socket is
    // out of their reach.
    enum class Access { Native, PulseAudioOnly };

    explicit PipeWireServer(Access access = Access::Native);

    bool running() const { return pipewire_.running() && pulseService_.running(); }
    const std::string& runtimeDir() const { return dir_.path(); }
    Environment environment() const;
    // A node's properties as pw-dump shows them, with its format's rate as
    // "rate", its state ("running", "idle", ...) as "state" and the ids of
    // the links from its ports as "links"; empty when no node has that name.
    QJsonObject node(const std::string& name) const;

    // Ends the three servers now, as a crash would (SIGKILL); the bus stays.
    void kill();
    // Starts them again; true once the default sink is there.
    bool restart();
    // Holds the graph still: the daemon keeps its sockets but runs no cycle
    // and answers nothing until thawed.
    void freeze() { pipewire_.freeze(); }
    void thaw() { pipewire_.thaw(); }

private:
    bool start();

    PrivateRuntimeDir dir_;
    Environment serverEnv_;
    ServerProcess bus_;
    ServerProcess pipewire_;
    ServerProcess sessionManager_;
    ServerProcess pulseService_;
};
