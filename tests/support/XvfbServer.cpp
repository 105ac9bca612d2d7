#include "XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

extern char** environ;

XvfbServer::XvfbServer(const std::string& screen, int dpi)
{
    int fds[2];
    if (pipe(fds) != 0)
        return;
    std::vector<std::string> args{"Xvfb",    "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                                  "-dpi",    std::to_string(dpi), "-nolisten", "tcp", "-noreset"};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        pid_ = -1;
        close(fds[0]);
        return;
    }

    // Xvfb writes its display number once it accepts clients.
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    pollfd p{fds[0], POLLIN, 0};
    while (std::chrono::steady_clock::now() < deadline) {
        if (poll(&p, 1, 100) <= 0)
            continue;
        char c;
        if (read(fds[0], &c, 1) != 1)
            break;
        if (c == '\n') {
            display_ = ":" + number;
            break;
        }
        number += c;
    }
    close(fds[0]);
}

XvfbServer::~XvfbServer()
{
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 300; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}
