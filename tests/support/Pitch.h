#pragma once

#include <vector>

// The pitch in Hz whose period repeats best in `samples` (50 Hz to 1 kHz):
// the shortest lag whose autocorrelation comes within 10 % of the best one,
// refined between samples. 0 when none does.
double dominantPitch(const std::vector<float>& samples, double sampleRate);
