#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "Command.h"

class XvfbServer;

// What the window benchmarks measure of a program: the start until its
// window maps, its private memory and its CPU while it sits idle; and how
// they print their rows of a markdown table: | figure | value | goal |.

struct Program {
    Program(std::string label, std::vector<std::string> command)
        : label(std::move(label))
        , command(std::move(command))
    {
    }

    std::string label;
    std::vector<std::string> command;
    std::vector<double> startupMs, privateMb, cpuPercent;
    bool failed = false;
    // How long after the window maps the memory and idle CPU are measured.
    std::chrono::seconds settle { 2 };
    // Another process that works for it (Wine's server): its CPU meanwhile.
    pid_t helper = 0;
    std::vector<double> helperCpuPercent;
};

// One start of a program: until its window, named "Tonvelo", maps; in a
// full round then its memory and its CPU over 10 s of idling; then its window
// is closed.
void runOnce(Program& program, const XvfbServer& xvfb, const Environment& env, bool full, int retries = 2);

// Resident memory that is the process's own (its dirty private pages).
double privateMegabytes(pid_t pid);
// CPU time of all the process's threads so far, in nanoseconds.
double cpuNanoseconds(pid_t pid);
// The CPU of each of `pids` over `span` from now, in % of a core.
std::vector<double> cpuPercentOver(const std::vector<pid_t>& pids, std::chrono::milliseconds span);

double median(std::vector<double> values);
// The value below which a share `p` (0 to 1) of `values` lies.
double percentile(std::vector<double> values, double p);
std::string format(double value, int decimals, const char* unit);
void row(const std::string& figure, const std::string& value, const std::string& goal);
std::string verdict(bool met);
