#include <gtest/gtest.h>

#include <map>
#include <set>

#include "window/KeyGrid.h"
#include "window/KeyMap.h"

TEST(KeyMap, SlotsRunInOrderAndEveryCodeIsBoundOnce)
{
    std::set<int16_t> codes;
    for (size_t i = 0; i < KeyMap.size(); ++i) {
        EXPECT_EQ(KeyMap[i].slot, static_cast<int16_t>(i + 1));
        EXPECT_TRUE(codes.insert(KeyMap[i].keyCode).second) << KeyMap[i].keyCode;
        EXPECT_EQ(findKey(KeyMap[i].keyCode), &KeyMap[i]);
    }
    for (char unmapped : { 'G', 'H', 'T', 'Y', 'B', 'N' })
        EXPECT_EQ(findKey(unmapped), nullptr) << unmapped;
    EXPECT_EQ(findKey(0), nullptr);
}

TEST(KeyMap, OnlyWhiteKeysPlayAndJustTwoPairsShareOne)
{
    std::map<int, std::set<int16_t>> codesOfKey;
    for (const auto& binding : KeyMap) {
        EXPECT_EQ(keyGrid[static_cast<size_t>(binding.keyIndex)].kind, KeyKind::White) << binding.slot;
        codesOfKey[binding.keyIndex].insert(binding.keyCode);
    }
    // 24 keys on 22 white keys: A and "/" share key 12, ";" and Q key 24.
    EXPECT_EQ(codesOfKey.size(), 22u);
    EXPECT_EQ(codesOfKey[12], (std::set<int16_t> { 'A', vk::slash }));
    EXPECT_EQ(codesOfKey[24], (std::set<int16_t> { vk::semicolon, 'Q' }));
}
