#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

std::vector<char*> pointers(const std::vector<std::string>& strings)
{
    std::vector<char*> result;
    for (const auto& s : strings)
        result.push_back(const_cast<char*>(s.c_str()));
    result.push_back(nullptr);
    return result;
}

} // namespace

pid_t spawnChild(
    const std::vector<std::string>& args, int keepFd, int outFd, const std::vector<std::string>* env)
{
    const auto argv = pointers(args);
    const auto envp = env ? pointers(*env) : std::vector<char*> {};

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
    dup2(outFd >= 0 ? outFd : devnull, STDOUT_FILENO);
    dup2(outFd >= 0 ? outFd : devnull, STDERR_FILENO);
    for (int fd = 3; fd < 1024; ++fd)
        if (fd != keepFd)
            close(fd);
    if (env)
        execvpe(argv[0], argv.data(), envp.data());
    else
        execvp(argv[0], argv.data());
    _exit(127);
}

void stopChild(pid_t pid, int signal, int timeoutMs)
{
    if (pid <= 0)
        return;
    kill(pid, signal);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}
