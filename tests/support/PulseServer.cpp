#include "PulseServer.h"

#include <stdlib.h>

#include <thread>

using namespace std::chrono_literals;

PulseServer::PulseServer()
{
    if (!dir_.path().empty() && start())
        setenv("PULSE_SERVER", ("unix:" + dir_.path() + "/pulse/native").c_str(), 1);
}

bool PulseServer::start()
{
    auto env = environment();
    // It keeps its cookie under HOME; not the user's.
    env.push_back("HOME=" + dir_.path());
    daemon_ = std::make_unique<RunningProgram>(
        std::vector<std::string> { "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
            "--load=module-null-sink", "--load=module-native-protocol-unix" },
        env);
    ready_ = false;
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (!ready_ && std::chrono::steady_clock::now() < deadline && daemon_->running()) {
        ready_ = runCommand({ "pactl", "info" }, 5s, env).exitCode == 0;
        if (!ready_)
            std::this_thread::sleep_for(50ms);
    }
    return ready_;
}

void PulseServer::kill()
{
    if (daemon_)
        daemon_->kill();
}

PulseServer::~PulseServer()
{
    daemon_.reset();
    unsetenv("PULSE_SERVER");
}

Environment PulseServer::environment() const
{
    return { "XDG_RUNTIME_DIR=" + dir_.path(), "PULSE_SERVER=unix:" + dir_.path() + "/pulse/native" };
}
