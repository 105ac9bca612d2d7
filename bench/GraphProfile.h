#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Command.h"

// PipeWire's own profiler (pw-profiler) run beside a graph: for every cycle
// of the driver, here the sink, whether each node had finished its part in
// time. A node that had not is a cycle the sink played without it: a
// drop-out at the sink, taken where the sink takes it, with no listener of
// ours late in its place.
class GraphProfile {
public:
    // Writes its log and the profiler's plot files into `dir`.
    GraphProfile(const std::string& dir, const Environment& env);

    struct Misses {
        long cycles = 0; // cycles in which the first node took part
        long first = 0; // of those, cycles the first node had not finished
        long second = 0; // cycles the second node, in the same cycles, had not
        long firstOnly = 0; // the first missed while the second kept time
        // Each node's own part of the cycles it finished, wake-up to done, in µs.
        std::vector<long> firstWork, secondWork;
    };
    // Ends the profiler and compares the nodes of these two names.
    Misses stop(const std::string& first, const std::string& second);

private:
    std::string dir_;
    std::unique_ptr<RunningProgram> profiler_;
};

// A WAV file of a quiet 440 Hz sine, stereo 16-bit at 48 kHz, for a plain
// player beside the program under test.
bool writeSine(const std::string& path, int seconds);
