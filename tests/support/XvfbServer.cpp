#include "XvfbServer.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <vector>

#include "ChildProcess.h"

XvfbServer::XvfbServer(const std::string& screen, int dpi)
{
    int fds[2];
    if (pipe(fds) != 0)
        return;
    std::vector<std::string> args { "Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
        "-dpi", std::to_string(dpi), "-nolisten", "tcp", "-noreset" };
    pid_ = spawnChild(args, fds[1]);
    close(fds[1]);
    if (pid_ < 0) {
        close(fds[0]);
        return;
    }

    // Xvfb writes its display number once it accepts clients.
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    pollfd p { fds[0], POLLIN, 0 };
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
    stopChild(pid_, SIGTERM);
}
