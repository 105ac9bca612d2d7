#include "Command.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

std::vector<std::string> mergedEnvironment(const Environment& extra)
{
    std::map<std::string, std::string> vars;
    std::vector<std::string> order;
    auto put = [&](const std::string& entry) {
        const auto name = entry.substr(0, entry.find('='));
        if (!vars.count(name))
            order.push_back(name);
        vars[name] = entry;
    };
    for (char** e = environ; *e; ++e)
        put(*e);
    for (const auto& entry : extra)
        put(entry);
    std::vector<std::string> result;
    for (const auto& name : order)
        result.push_back(vars[name]);
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& strings)
{
    std::vector<char*> result;
    for (auto& s : strings)
        result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

// Waits up to `grace` for the child to end, then kills it.
void reap(pid_t pid, int signal, std::chrono::milliseconds grace, int* status = nullptr)
{
    if (signal)
        kill(pid, signal);
    const auto deadline = std::chrono::steady_clock::now() + grace;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, status, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, status, 0);
}

pid_t spawn(std::vector<std::string> args, const Environment& extraEnv, int outFd)
{
    auto env = mergedEnvironment(extraEnv);
    auto argv = pointers(args);
    auto envp = pointers(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outFd, STDERR_FILENO);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
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
        result.output = "cannot start " + args.front();
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

    int status = 0;
    if (result.timedOut) {
        reap(pid, SIGKILL, std::chrono::seconds(5), &status);
        return result;
    }
    // The pipe closes when the program ends, or when it detached a child that
    // keeps it open: give it a moment, never for ever.
    reap(pid, 0, std::chrono::seconds(10), &status);
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}

ChildProcess::ChildProcess(const std::vector<std::string>& args, const Environment& extraEnv)
{
    static std::atomic<int> counter { 0 };
    logPath_ = (std::getenv("TMPDIR") ? std::string(std::getenv("TMPDIR")) : std::string("/tmp"))
        + "/tonvelo-child-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".log";
    const int fd = open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    pid_ = spawn(args, extraEnv, fd);
    close(fd);
}

ChildProcess::~ChildProcess()
{
    stop();
    unlink(logPath_.c_str());
}

bool ChildProcess::running()
{
    if (pid_ <= 0)
        return false;
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return false;
    }
    return true;
}

std::string ChildProcess::output() const
{
    std::ifstream in(logPath_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void ChildProcess::stop()
{
    if (pid_ <= 0)
        return;
    reap(pid_, SIGTERM, std::chrono::seconds(5));
    pid_ = -1;
}
