#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

#include "audio/PeakLimiter.h"

// 131 Hz (the lowest key, C3) at -3 dBFS, twice full scale from a crest at 0.5 s to 1 s, in blocks the
// outputs use.
TEST(PeakLimiter, LeavesQuietSoundAloneHoldsALoudStepUnderTheCeilingFromItsFirstSampleThenEasesBackToUnity)
{
    constexpr int rate = 48000, frames = 3 * rate;
    const auto signal = [](int i) {
        return float(
            (i >= rate / 2 && i < rate ? 2.0 : 0.7) * std::cos(2 * std::numbers::pi * 131 * i / rate));
    };
    for (const auto& [block, step] : { std::pair { 64, 2 }, { 1000, 1 }, { 8192, 2 } }) {
        std::vector<float> buffer(2 * frames);
        float *left = buffer.data(), *right = step == 2 ? left + 1 : left + frames;
        for (int i = 0; i < frames; ++i)
            left[i * step] = right[i * step] = signal(i);
        PeakLimiter limiter(rate);
        for (int start = 0; start < frames; start += block)
            limiter.process(left + start * step, right + start * step, std::min(block, frames - start), step);
        float loudest = 0, touched = 0, lastGain = 1, fastestRise = 0, lowestGain = 1, highestGain = 0;
        int lastCounted = rate;
        for (int i = 0; i < frames; ++i) {
            const float out = right[i * step], gain = out / signal(i);
            loudest = std::max({ loudest, std::fabs(out), std::fabs(left[i * step]) });
            if (i + rate / 1000 < rate / 2 || i > 5 * rate / 2)
                touched = std::max(touched, std::fabs(out - signal(i)));
            else if (i >= rate && std::fabs(signal(i)) > 0.1f) // per frame, across the zero crossings too
                fastestRise = std::max(fastestRise,
                    (gain - std::exchange(lastGain, gain))
                        / float(std::max(1, i - std::exchange(lastCounted, i))));
            // Once the step's first crest has set the gain, it holds between
            // crests: a gain that rose and fell within each wave would distort it.
            if (i > rate / 2 + rate / 100 && i < rate && std::fabs(signal(i)) > 0.1f) {
                lowestGain = std::min(lowestGain, gain);
                highestGain = std::max(highestGain, gain);
            }
        }
        EXPECT_LE(loudest, PeakLimiter::ceiling) << block << "-frame blocks";
        EXPECT_EQ(touched, 0.0f) << block << "-frame blocks: quiet sound changed";
        EXPECT_LT(fastestRise, 2e-4f) << block << "-frame blocks: the gain jumps back up";
        EXPECT_LT(highestGain - lowestGain, 1e-3f) << block << "-frame blocks: the gain follows each wave";
    }
}
