#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

#include "midi/synth/PeakLimiter.h"

namespace {

constexpr int rate = 48000;

// 441 Hz at -3 dBFS, but twice full scale from 0.5 s to 1 s, starting on a crest.
float signal(int frame)
{
    const double level = frame >= rate / 2 && frame < rate ? 2.0 : 0.7;
    return static_cast<float>(level * std::cos(2 * std::numbers::pi * 441 * frame / rate));
}

} // namespace

TEST(PeakLimiter, LeavesQuietSoundAloneHoldsALoudStepUnderTheCeilingFromItsFirstSampleThenEasesBackToUnity)
{
    constexpr int frames = 3 * rate;
    for (const auto& [block, step] : { std::pair { 64, 2 }, { 1000, 1 }, { 8192, 2 } }) {
        SCOPED_TRACE(testing::Message() << block << "-frame blocks, step " << step);
        std::vector<float> buffer(2 * frames);
        float* left = buffer.data();
        float* right = step == 2 ? left + 1 : left + frames;
        for (int i = 0; i < frames; ++i)
            left[i * step] = -(right[i * step] = signal(i));
        PeakLimiter limiter(rate);
        for (int start = 0; start < frames; start += block)
            limiter.process(left + start * step, right + start * step, std::min(block, frames - start), step);

        float loudest = 0, lastGain = 1, fastestRise = 0;
        for (int i = 0; i < frames; ++i) {
            ASSERT_LE(std::fabs(left[i * step]), PeakLimiter::ceiling) << "frame " << i;
            ASSERT_EQ(right[i * step], -left[i * step]);
            if (i + rate / 1000 < rate / 2 || i > 5 * rate / 2) {
                ASSERT_EQ(right[i * step], signal(i)) << "frame " << i;
            }
            loudest = std::max(loudest, std::fabs(left[i * step]));
            if (const float gain = right[i * step] / signal(i); i >= rate && std::fabs(signal(i)) > 0.1f)
                fastestRise = std::max(fastestRise, gain - std::exchange(lastGain, gain));
        }
        EXPECT_GT(loudest, 0.95f * PeakLimiter::ceiling);
        EXPECT_LT(fastestRise, 1e-3f) << "the gain jumps back up";
    }
}
