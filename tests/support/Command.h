#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// Test helpers that run other programs: spawned directly (no shell), ended
// with the test process even when it dies, waited for with a deadline and,
// past it, ended by their own PID.

struct CommandResult {
    int exitCode = -1; // -1 when the program could not start, was killed or timed out
    bool timedOut = false;
    std::string output; // stdout and stderr, interleaved
};

// Extra "NAME=value" entries replace or add to the inherited environment,
// a later one of the same name replacing an earlier; a bare "NAME" removes
// that variable.
using Environment = std::vector<std::string>;

CommandResult runCommand(const std::vector<std::string>& args,
    std::chrono::milliseconds timeout = std::chrono::seconds(60), const Environment& extraEnv = {});

// A long-running program started for one test, its output kept in a file;
// ended by its PID when the object goes (SIGTERM, then SIGKILL).
class RunningProgram {
public:
    RunningProgram(const std::vector<std::string>& args, const Environment& extraEnv = {});
    ~RunningProgram();

    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    pid_t pid() const { return pid_; }
    bool running();
    // Waits up to `timeout` for the program to end: its wait status (as
    // waitpid gives it), or nothing while it runs on.
    std::optional<int> wait(std::chrono::milliseconds timeout);
    // What the program wrote to stdout and stderr so far.
    std::string output() const;
    // Adds a line of the test's own to that output, in time order.
    void note(const std::string& line) const;
    // Whether it ended on SIGTERM, before the SIGKILL that follows in 3 s.
    bool stop();
    // Ends it now, as a crash would (SIGKILL).
    void kill();

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
    std::string logPath_;
};
