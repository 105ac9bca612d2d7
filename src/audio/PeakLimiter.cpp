#include "audio/PeakLimiter.h"

#include <algorithm>
#include <cmath>

namespace {

// Long enough to ramp smoothly into a piano's attack, short enough that the
// gain does not dip audibly ahead of it.
constexpr double lookAheadSeconds = 0.001;
// Longer than a period of the lowest note the keyboard plays, so the gain
// never rises between two crests of one wave.
constexpr double holdSeconds = 0.02;
// A crest within this share of the reduction held holds it again.
constexpr float holdAgainWithin = 0.99f;
// Slow enough to follow a chord's decay rather than its beats.
constexpr double releaseSeconds = 0.15;
// Closer than this to unity counts as unity, so that a released limiter
// hands the signal on untouched again.
constexpr float unityMargin = 1e-4f;
// A hair under the ceiling, so that rounding never lands a sample over it.
constexpr float target = PeakLimiter::ceiling * (1.0f - 1e-6f);

} // namespace

PeakLimiter::PeakLimiter(double sampleRate)
    : lookAhead_(std::clamp(static_cast<int>(sampleRate * lookAheadSeconds), 1, maxLookAhead))
    , holdFrames_(static_cast<int>(sampleRate * holdSeconds))
    , attackSlope_(1.0f / static_cast<float>(lookAhead_))
    , releaseCoefficient_(static_cast<float>(std::exp(-1.0 / (sampleRate * releaseSeconds))))
{
}

void PeakLimiter::reset()
{
    reduction_ = 0.0f;
    holdLeft_ = 0;
}

void PeakLimiter::process(float* left, float* right, int frames, int step)
{
    for (int start = 0; start < frames; start += chunk) {
        const int offset = start * step;
        processChunk(left + offset, right + offset, std::min(chunk, frames - start), frames - start, step);
    }
}

void PeakLimiter::processChunk(float* left, float* right, int frames, int available, int step)
{
    // The gain each frame allows, then, backwards, a ramp down ahead of every
    // frame that needs less than unity, as far as the block reaches.
    const int seen = std::min(frames + lookAhead_, available);
    for (int i = 0; i < seen; ++i) {
        const float peak = std::max(std::fabs(left[i * step]), std::fabs(right[i * step]));
        allowed_[i] = peak > target ? target / peak : 1.0f;
    }
    for (int i = seen - 2; i >= 0; --i)
        allowed_[i] = std::min(allowed_[i], allowed_[i + 1] + attackSlope_);

    for (int i = 0; i < frames; ++i) {
        if (holdLeft_ > 0)
            --holdLeft_;
        else
            reduction_ = reduction_ < unityMargin ? 0.0f : reduction_ * releaseCoefficient_;
        // Each crest of a steady wave needs about what the first did, never
        // quite the same as its samples fall: every one that needs nearly
        // as much holds the gain again, so that it never rises between them.
        const float needed = 1.0f - allowed_[i];
        if (needed > reduction_ * holdAgainWithin) {
            reduction_ = std::max(reduction_, needed);
            holdLeft_ = holdFrames_;
        }
        if (reduction_ > 0.0f) {
            left[i * step] *= 1.0f - reduction_;
            right[i * step] *= 1.0f - reduction_;
        }
    }
}
