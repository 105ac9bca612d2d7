#include "PipeWireServer.h"

#include <stdlib.h>

#include <filesystem>
#include <thread>

using namespace std::chrono_literals;

namespace {

bool defaultSinkIsThere(const Environment& env)
{
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (runCommand({ "pactl", "info" }, 5s, env).output.find("Default Sink: auto_null")
            != std::string::npos)
            return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

} // namespace

PipeWireServer::PipeWireServer()
{
    if (dir_.path().empty())
        return;
    const std::string bus = dir_.path() + "/bus";
    bus_ = std::make_unique<RunningProgram>(std::vector<std::string> {
        "dbus-daemon", "--session", "--address=unix:path=" + bus, "--nofork", "--nopidfile" });
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!std::filesystem::exists(bus) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    if (!start())
        return;
    setenv("PIPEWIRE_RUNTIME_DIR", dir_.path().c_str(), 1);
    setenv("PULSE_SERVER", ("unix:" + dir_.path() + "/pulse/native").c_str(), 1);
}

PipeWireServer::~PipeWireServer()
{
    pulseService_.reset();
    sessionManager_.reset();
    pipewire_.reset();
    bus_.reset();
    if (ready_) {
        unsetenv("PIPEWIRE_RUNTIME_DIR");
        unsetenv("PULSE_SERVER");
    }
}

Environment PipeWireServer::environment() const
{
    return { "XDG_RUNTIME_DIR=" + dir_.path(), "PIPEWIRE_RUNTIME_DIR=" + dir_.path(),
        "DBUS_SESSION_BUS_ADDRESS=unix:path=" + dir_.path() + "/bus",
        "PULSE_SERVER=unix:" + dir_.path() + "/pulse/native" };
}

bool PipeWireServer::start()
{
    auto env = environment();
    // The session manager keeps its state under HOME; not the user's.
    env.push_back("HOME=" + dir_.path());
    pipewire_ = std::make_unique<RunningProgram>(std::vector<std::string> { "pipewire" }, env);
    sessionManager_ = std::make_unique<RunningProgram>(std::vector<std::string> { "wireplumber" }, env);
    pulseService_ = std::make_unique<RunningProgram>(std::vector<std::string> { "pipewire-pulse" }, env);
    ready_ = defaultSinkIsThere(env);
    return ready_;
}

void PipeWireServer::kill()
{
    for (auto* program : { pulseService_.get(), sessionManager_.get(), pipewire_.get() })
        if (program)
            program->kill();
}
