#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Starts a helper program for a test (a server, a capture tool). Its output
// goes to /dev/null unless `keepFd` names a descriptor to pass on, and it
// ends with the test process even when the test dies. Returns -1 on failure.
pid_t spawnChild(const std::vector<std::string>& args, int keepFd = -1);

// Sends `signal`, waits up to `timeoutMs`, then SIGKILL; always reaps.
void stopChild(pid_t pid, int signal, int timeoutMs = 3000);
