#include <gtest/gtest.h>

#include <set>

#include "window/KeyGrid.h"

namespace {

int rowOf(int index)
{
    return index < 12 ? 0 : index < 24 ? 1 : 2;
}

bool overlaps(const TwipsRect& a, const TwipsRect& b)
{
    return a.left < b.right() && b.left < a.right() && a.top < b.bottom() && b.top < a.bottom();
}

} // namespace

TEST(KeyGrid, IndicesRunInOrderAndEveryOctaveHasTheSevenWhiteKeys)
{
    std::set<int> whitePitchClasses[3];
    for (size_t i = 0; i < keyGrid.size(); ++i) {
        const auto& key = keyGrid[i];
        EXPECT_EQ(key.index, static_cast<int>(i));
        const int pitchClass = key.index % 12;
        const bool sharp
            = pitchClass == 1 || pitchClass == 3 || pitchClass == 6 || pitchClass == 8 || pitchClass == 10;
        EXPECT_EQ(key.kind, sharp ? KeyKind::Black : KeyKind::White) << "key " << i;
        if (!sharp)
            whitePitchClasses[rowOf(key.index)].insert(pitchClass);
    }
    EXPECT_EQ(whitePitchClasses[0].size(), 7u);
    EXPECT_EQ(whitePitchClasses[1].size(), 7u);
    EXPECT_EQ(whitePitchClasses[2].size(), 7u);
}

TEST(KeyGrid, RowsShareTopAndSizes)
{
    const int tops[3] = { 5880, 3360, 480 };
    for (const auto& key : keyGrid) {
        const int row = rowOf(key.index);
        EXPECT_EQ(key.rect.top, tops[row]) << "key " << key.index;
        if (key.kind == KeyKind::White) {
            EXPECT_EQ(key.rect.width, row == 2 ? 615 : 495) << "key " << key.index;
            EXPECT_EQ(key.rect.height, row == 2 ? 2535 : 2175) << "key " << key.index;
        } else {
            const int width = key.index == 37 ? 525 : row == 2 ? 405 : 285;
            EXPECT_EQ(key.rect.width, width) << "key " << key.index;
            EXPECT_EQ(key.rect.height, 1140) << "key " << key.index;
        }
        EXPECT_EQ(key.rect.left % 15, 0);
        EXPECT_EQ(key.rect.width % 15, 0);
    }
    EXPECT_EQ(keyGrid[37].rect.left, 6240);
}

TEST(KeyGrid, WhiteKeysStepAlongTheRowAndOverlapTheirNeighbourBy15Twips)
{
    for (int row = 0; row < 3; ++row) {
        const int step = row == 2 ? 600 : 480;
        int w = 0;
        const KeyInfo* previous = nullptr;
        for (const auto& key : keyGrid) {
            if (rowOf(key.index) != row || key.kind != KeyKind::White)
                continue;
            EXPECT_EQ(key.rect.left, 1560 + step * w) << "key " << key.index;
            if (previous) {
                EXPECT_EQ(previous->rect.right() - key.rect.left, 15) << "key " << key.index;
            }
            previous = &key;
            ++w;
        }
    }
}

TEST(KeyGrid, EachBlackKeyOverlapsTheWhiteKeysBesideIt)
{
    for (const auto& key : keyGrid) {
        if (key.kind != KeyKind::Black)
            continue;
        const auto& left = keyGrid[static_cast<size_t>(key.index - 1)];
        EXPECT_EQ(key.rect.left, key.index == 37 ? left.rect.left + 480 : left.rect.left + 360);
        EXPECT_TRUE(overlaps(key.rect, left.rect)) << "key " << key.index;
        if (key.index < 37) {
            EXPECT_TRUE(overlaps(key.rect, keyGrid[static_cast<size_t>(key.index + 1)].rect))
                << "key " << key.index;
        }
    }
}

TEST(KeyGrid, CaptionsRepeatTheScaleDegreeOncePerOctave)
{
    const char degree[12] = { '1', '1', '2', '2', '3', '4', '4', '5', '5', '6', '6', '7' };
    // These five captions are given as they stand, off the rule.
    const std::set<int> asGiven { 12, 17, 24, 29, 36 };
    for (const auto& key : keyGrid) {
        if (asGiven.count(key.index))
            continue;
        const size_t repeats = key.index == 37 ? 4 : static_cast<size_t>(rowOf(key.index) + 1);
        EXPECT_EQ(std::string(key.caption), std::string(repeats, degree[key.index % 12]))
            << "key " << key.index;
    }
    EXPECT_STREQ(keyGrid[12].caption, "71");
    EXPECT_STREQ(keyGrid[17].caption, "34");
    EXPECT_STREQ(keyGrid[24].caption, "711");
    EXPECT_STREQ(keyGrid[29].caption, "344");
    EXPECT_STREQ(keyGrid[36].caption, "71111");
}
