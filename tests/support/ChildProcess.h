#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Starts a helper program for a test (a server, a capture tool, the program
// under test). Its stdout and stderr go to `outFd`, or to /dev/null; `keepFd`
// names one more descriptor it inherits; `env`, when given, is its whole
// environment. It ends with the test process even when the test dies.
// Returns -1 on failure.
pid_t spawnChild(const std::vector<std::string>& args, int keepFd = -1, int outFd = -1,
    const std::vector<std::string>* env = nullptr);

// Sends `signal`, waits up to `timeoutMs`, then SIGKILL; always reaps.
void stopChild(pid_t pid, int signal, int timeoutMs = 3000);
