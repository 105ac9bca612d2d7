#include "Command.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

std::vector<std::string> mergedEnvironment(const Environment& extra)
{
    std::vector<std::string> result;
    auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const bool replaced = std::any_of(
            extra.begin(), extra.end(), [&](const std::string& x) { return nameOf(x) == nameOf(entry); });
        if (!replaced)
            result.push_back(entry);
    }
    // Of extra entries with the same name, the last one counts.
    for (auto x = extra.begin(); x != extra.end(); ++x) {
        const bool overridden = std::any_of(
            std::next(x), extra.end(), [&](const std::string& later) { return nameOf(later) == nameOf(*x); });
        if (x->find('=') != std::string::npos && !overridden)
            result.push_back(*x);
    }
    return result;
}

std::vector<char*> pointers(const std::vector<std::string>& strings)
{
    std::vector<char*> result;
    for (const auto& s : strings)
        result.push_back(const_cast<char*>(s.c_str()));
    result.push_back(nullptr);
    return result;
}

// stdout and stderr go to outFd; the child ends with this process even when
// the test dies. -1 on failure.
pid_t spawn(const std::vector<std::string>& args, const Environment& extraEnv, int outFd)
{
    const auto env = mergedEnvironment(extraEnv);
    const auto argv = pointers(args);
    const auto envp = pointers(env);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    // In the child: only async-signal-safe calls until exec.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        _exit(127);
    const int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, STDIN_FILENO);
    dup2(outFd, STDOUT_FILENO);
    dup2(outFd, STDERR_FILENO);
    for (int fd = 3; fd < 1024; ++fd)
        close(fd);
    execvpe(argv[0], argv.data(), envp.data());
    _exit(127);
}

// Sends `signal`, waits up to 3 s, then SIGKILL; always reaps. Whether it
// ended without the SIGKILL.
bool stopChild(pid_t pid, int signal)
{
    if (pid <= 0)
        return true;
    kill(pid, signal);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return false;
}

} // namespace

CommandResult runCommand(
    const std::vector<std::string>& args, std::chrono::milliseconds timeout, const Environment& extraEnv)
{
    CommandResult result;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return result;
    const pid_t pid = spawn(args, extraEnv, fds[1]);
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return result;
    }

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    pollfd p { fds[0], POLLIN, 0 };
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            break;
        }
        if (poll(&p, 1, static_cast<int>(std::min<long>(left.count(), 100))) <= 0)
            continue;
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break; // every writer has closed the pipe
        result.output.append(buffer, static_cast<size_t>(n));
    }
    close(fds[0]);

    if (result.timedOut) {
        stopChild(pid, SIGKILL);
        return result;
    }
    // The pipe closes when the program ends, or when it closed its output
    // early: give it a moment to end, never for ever.
    int status = 0;
    const auto ends = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (waitpid(pid, &status, WNOHANG) != pid) {
        if (std::chrono::steady_clock::now() > ends) {
            stopChild(pid, SIGKILL);
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}

RunningProgram::RunningProgram(const std::vector<std::string>& args, const Environment& extraEnv)
{
    static std::atomic<int> counter { 0 };
    logPath_ = (std::filesystem::temp_directory_path()
        / ("tonvelo-program-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".log"))
                   .string();
    const int fd = open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    pid_ = spawn(args, extraEnv, fd);
    close(fd);
}

RunningProgram::~RunningProgram()
{
    stop();
    unlink(logPath_.c_str());
}

bool RunningProgram::running()
{
    if (pid_ <= 0)
        return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = status;
        pid_ = -1;
        return false;
    }
    return true;
}

std::optional<int> RunningProgram::wait(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return status_;
}

std::string RunningProgram::output() const
{
    std::ifstream in(logPath_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void RunningProgram::note(const std::string& line) const
{
    std::ofstream(logPath_, std::ios::app) << line;
}

bool RunningProgram::stop()
{
    const bool ended = stopChild(pid_, SIGTERM);
    pid_ = -1;
    return ended;
}

void RunningProgram::kill()
{
    stopChild(pid_, SIGKILL);
    pid_ = -1;
}
