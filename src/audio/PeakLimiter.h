#pragma once

#include <array>

// Keeps the synth's sound under full scale, however many notes pile up.
// Sound under the ceiling passes exactly as it was, but for the millisecond
// before a peak and the release after one. It adds no latency: it looks ahead
// only within the block it is handed, ramping the gain down before a peak
// there, and drops it at once for a peak at the very start of a block. The
// gain is held for a moment after a peak, then eases back, so that a chord's
// level does not pump with its beats.
class PeakLimiter {
public:
    // -0.3 dBFS.
    static constexpr float ceiling = 0.9660509f;

    explicit PeakLimiter(double sampleRate);

    // Realtime (no allocation, no lock): scales `frames` frames of left and
    // right, each `step` floats apart, in place.
    void process(float* left, float* right, int frames, int step);
    // Forgets any gain reduction, as after a long silence.
    void reset();

private:
    void processChunk(float* left, float* right, int frames, int available, int step);

    static constexpr int chunk = 512;
    static constexpr int maxLookAhead = 256;

    int lookAhead_;
    int holdFrames_;
    float attackSlope_;
    float releaseCoefficient_;
    // 1 less the gain: near unity a float holds this far more finely than the gain.
    float reduction_ = 0.0f;
    int holdLeft_ = 0;
    // Per frame of the chunk and its look-ahead: the gain that frame allows.
    std::array<float, chunk + maxLookAhead> allowed_ {};
};
