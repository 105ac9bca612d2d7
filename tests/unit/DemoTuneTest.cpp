#include <algorithm>
#include <map>
#include <numeric>
#include <set>

#include <gtest/gtest.h>

#include "demo/DemoTune.h"

// Each test below is one point of the tune's shape, checked on the table itself.

namespace {

using Counts = std::map<int, int>;

constexpr DemoAction Strike = DemoAction::Strike;
constexpr DemoAction Release = DemoAction::Release;

Counts pausesAfter(DemoAction action)
{
    Counts counts;
    for (const auto& step : DemoTune)
        if (step.action == action)
            ++counts[step.pause];
    return counts;
}

bool isStep(const DemoStep& step, DemoAction action, int key, int pause)
{
    return step.action == action && step.key == key && step.pause == pause;
}

const std::set<int> tuneKeys { 7, 9, 11, 12, 14, 16, 17, 19, 21, 23, 24 };

} // namespace

TEST(DemoTuneShape, Has151StrikesAnd18Releases)
{
    const auto strikes = std::count_if(
        DemoTune.begin(), DemoTune.end(), [](const DemoStep& s) { return s.action == Strike; });
    // ptrdiff_t is long on Linux, long long on Windows.
    const auto releases = std::ssize(DemoTune) - strikes;
    EXPECT_EQ(
        std::make_pair(strikes, releases), std::make_pair(std::ptrdiff_t { 151 }, std::ptrdiff_t { 18 }));
}

TEST(DemoTuneShape, PausesAfterStrikes)
{
    EXPECT_EQ(pausesAfter(Strike),
        (Counts { { 200, 8 }, { 300, 88 }, { 400, 2 }, { 500, 2 }, { 600, 32 }, { 700, 2 }, { 1000, 3 },
            { 1200, 14 } }));
}

TEST(DemoTuneShape, PausesAfterReleases)
{
    EXPECT_EQ(pausesAfter(Release), (Counts { { 80, 2 }, { 100, 13 }, { 300, 1 }, { 400, 1 }, { 500, 1 } }));
}

TEST(DemoTuneShape, PausesAddUpTo72860Milliseconds)
{
    EXPECT_EQ(std::accumulate(DemoTune.begin(), DemoTune.end(), 0,
                  [](int sum, const DemoStep& s) { return sum + s.pause; }),
        72860);
}

TEST(DemoTuneShape, EveryReleaseReleasesTheKeyStruckJustBefore)
{
    int wrong = 0;
    for (size_t i = 0; i < DemoTune.size(); ++i)
        if (DemoTune[i].action == Release)
            wrong += i == 0 || DemoTune[i - 1].action != Strike || DemoTune[i - 1].key != DemoTune[i].key;
    EXPECT_EQ(wrong, 0);
}

TEST(DemoTuneShape, ElevenPhrasesEndHeld1200ThenReleasedWith100)
{
    int held = 0;
    for (size_t i = 1; i < DemoTune.size(); ++i)
        held += DemoTune[i].action == Release && DemoTune[i].pause == 100 && DemoTune[i - 1].pause == 1200;
    EXPECT_EQ(held, 11);
}

TEST(DemoTuneShape, OpensWithKey9StruckThreeTimes)
{
    EXPECT_TRUE(std::all_of(
        DemoTune.begin(), DemoTune.begin() + 3, [](const DemoStep& s) { return isStep(s, Strike, 9, 300); }));
}

TEST(DemoTuneShape, FirstPhraseEndsOnKey9AtSteps11And12)
{
    EXPECT_TRUE(isStep(DemoTune[10], Strike, 9, 1200) && isStep(DemoTune[11], Release, 9, 100));
}

TEST(DemoTuneShape, LastStepStrikesKey21For1200)
{
    EXPECT_TRUE(isStep(DemoTune.back(), Strike, 21, 1200));
}

TEST(DemoTuneShape, PlaysOnlyTheElevenWhiteKeysFrom55To72)
{
    std::set<int> keys;
    for (const auto& step : DemoTune)
        keys.insert(step.key);
    EXPECT_TRUE(std::includes(tuneKeys.begin(), tuneKeys.end(), keys.begin(), keys.end()));
}

TEST(DemoTuneShape, StrikesEachOfTheElevenKeys)
{
    std::set<int> struck;
    for (const auto& step : DemoTune)
        if (step.action == Strike)
            struck.insert(step.key);
    EXPECT_EQ(struck, tuneKeys);
}

TEST(DemoTuneShape, EveryKeyIsLeftSoundingAtTheEnd)
{
    std::map<int, DemoAction> last;
    for (const auto& step : DemoTune)
        last[step.key] = step.action;
    EXPECT_TRUE(std::all_of(last.begin(), last.end(), [](const auto& k) { return k.second == Strike; }));
}
