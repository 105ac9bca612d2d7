#include "Subprocess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

std::string tempFile(const char* tag)
{
    std::string path = std::string(P_tmpdir) + "/tonvelo-" + tag + "-XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0)
        return "/dev/null";
    close(fd);
    return path;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> environmentWith(const Subprocess::Environment& changes)
{
    std::vector<std::string> result;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        if (!changes.count(entry.substr(0, entry.find('='))))
            result.push_back(entry);
    }
    for (const auto& [name, value] : changes)
        if (value)
            result.push_back(name + "=" + *value);
    return result;
}

std::vector<char*> pointersTo(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (auto& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

Subprocess::Subprocess(const std::vector<std::string>& argv, const Environment& changes)
    : outPath_(tempFile("out"))
    , errPath_(tempFile("err"))
{
    std::vector<std::string> args = argv;
    std::vector<std::string> env = environmentWith(changes);
    auto argp = pointersTo(args);
    auto envp = pointersTo(env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath_.c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath_.c_str(), O_WRONLY | O_TRUNC, 0);
    if (posix_spawnp(&pid_, argp[0], &actions, nullptr, argp.data(), envp.data()) != 0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
}

Subprocess::~Subprocess()
{
    if (running()) {
        signal(SIGKILL);
        wait(std::chrono::seconds(5));
    }
    for (const auto& path : { outPath_, errPath_ })
        if (path != "/dev/null")
            unlink(path.c_str());
}

std::optional<int> Subprocess::wait(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!status_ && pid_ > 0) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = status;
            pid_ = -1;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return status_;
}

bool Subprocess::running()
{
    return !wait(std::chrono::milliseconds(0)) && pid_ > 0;
}

void Subprocess::signal(int signal)
{
    if (pid_ > 0)
        kill(pid_, signal);
}

std::string Subprocess::output() const
{
    return readFile(outPath_);
}

std::string Subprocess::errors() const
{
    return readFile(errPath_);
}

std::optional<std::string> runCommand(const std::vector<std::string>& argv,
    const Subprocess::Environment& changes, std::chrono::milliseconds timeout)
{
    Subprocess command(argv, changes);
    const auto status = command.wait(timeout);
    if (!status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0)
        return std::nullopt;
    return command.output();
}
