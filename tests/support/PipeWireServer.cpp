#include "PipeWireServer.h"

#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <thread>

#include "WaitUntil.h"

using namespace std::chrono_literals;

namespace {

// Whether a server listens on the socket at `path`: a file left by a killed
// server is there too, but refuses.
bool listening(const std::string& path)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::strcpy(address.sun_path, path.c_str());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool answered = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return answered;
}

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
    // Started before the server listens, the session manager gives up at once.
    if (!waitUntil([&] { return listening(dir_.path() + "/pipewire-0"); }, 10s))
        return ready_ = false;
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
