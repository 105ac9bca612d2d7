#pragma once

#include <sys/types.h>

#include <string>
#include <utility>

// What the processors did, from /proc, for figures taken on a shared machine.

// A process's processor time so far, in clock ticks.
long cpuTicks(pid_t pid);
// The machine's processor time so far, and how much of it the hypervisor
// gave to other guests, in clock ticks.
std::pair<long, long> busyAndStolen();
// The load average over 1 and 5 minutes, as "1.20 / 0.80".
std::string loadAverage();
