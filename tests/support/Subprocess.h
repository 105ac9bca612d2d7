#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

// A program started by a test, with an environment of the test's choosing
// and its output kept in files. It is ended by its PID, never left behind.
class Subprocess {
public:
    // Changes to this process's environment: a value sets a variable, no value removes it.
    using Environment = std::map<std::string, std::optional<std::string>>;

    Subprocess(const std::vector<std::string>& argv, const Environment& changes = {});
    ~Subprocess();

    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;

    bool started() const { return pid_ > 0 || status_.has_value(); }
    pid_t pid() const { return pid_; }

    // The wait status once the program has ended, or nothing when it runs on past the timeout.
    std::optional<int> wait(std::chrono::milliseconds timeout);
    bool running();
    void signal(int signal);

    std::string output() const;
    std::string errors() const;

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
    std::string outPath_, errPath_;
};

// Runs a short command to its end (at most `timeout`) and returns what it
// printed on stdout, or nothing when it failed or ran too long.
std::optional<std::string> runCommand(const std::vector<std::string>& argv,
    const Subprocess::Environment& changes, std::chrono::milliseconds timeout = std::chrono::seconds(10));
