#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Command.h"

// One server a test starts: its command line, its environment, a check that
// it serves, and what its clients need to find it. It is ended by its PID,
// never by name, so it never meets another session's servers.
class ServerProcess {
public:
    struct Setup {
        std::vector<std::string> args {};
        // The server's own entries, over this process's environment.
        Environment env {};
        // True once it serves; polled until then or until it exits. None:
        // it serves once started.
        std::function<bool()> ready {};
        // What its clients need: set in this process once it first serves,
        // as it was before when the object goes, and given to programs a
        // test starts through environment().
        Environment exports {};
        std::chrono::milliseconds timeout = std::chrono::seconds(15);
    };

    explicit ServerProcess(Setup setup);
    ~ServerProcess();

    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts it, ending first what still runs of it, and waits until it
    // serves; whether it does.
    bool start();
    bool running() const { return ready_; }
    pid_t pid() const { return program_ ? program_->pid() : -1; }
    const Environment& environment() const { return setup_.exports; }
    // What it wrote to stdout and stderr since it last started.
    std::string output() const { return program_ ? program_->output() : std::string(); }

    // Ends it as a session's end would (SIGTERM), then by force; whether
    // it ended by itself.
    bool stop();
    // Ends it now, as a crash would (SIGKILL).
    void kill();
    // start() again, as after a crash or a reboot.
    bool restart();
    // Holds it still (SIGSTOP), as a debugger, a stalled device or a busy
    // machine would: it keeps its sockets but answers nothing until thawed.
    void freeze();
    void thaw();

private:
    void exportEnvironment();

    Setup setup_;
    std::unique_ptr<RunningProgram> program_;
    bool ready_ = false;
    // The values the exports replaced, to give back.
    std::vector<std::pair<std::string, std::optional<std::string>>> replaced_;
};
