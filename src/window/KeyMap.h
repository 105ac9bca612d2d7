#pragma once

#include <array>
#include <cstdint>

// The 24 computer keys that play the white keys: three typewriter rows for
// the three rows of the grid, each row two groups of four keys with two
// unplayed keys (B N, G H, T Y) between them. Codes are virtual-key codes:
// a letter has the code of its capital, the four punctuation keys the codes
// of the keys that carry ";", ",", "." and "/" on a US layout.
namespace vk {
constexpr int16_t semicolon = 186;
constexpr int16_t comma = 188;
constexpr int16_t period = 190;
constexpr int16_t slash = 191;
} // namespace vk

struct KeyBinding {
    int16_t slot; // 1..24, the key's place in Form1::heldKeys
    int16_t keyCode;
    int16_t keyIndex; // the key button it plays
};

// clang-format off
constexpr std::array<KeyBinding, 24> KeyMap{{
    {1, 'A', 12},
    {2, 'S', 14},
    {3, 'D', 16},
    {4, 'F', 17},
    {5, 'J', 19},
    {6, 'K', 21},
    {7, 'L', 23},
    {8, vk::semicolon, 24},
    {9, 'Z', 0},
    {10, 'X', 2},
    {11, 'C', 4},
    {12, 'V', 5},
    {13, 'M', 7},
    {14, vk::comma, 9},
    {15, vk::period, 11},
    {16, vk::slash, 12},
    {17, 'Q', 24},
    {18, 'W', 26},
    {19, 'E', 28},
    {20, 'R', 29},
    {21, 'U', 31},
    {22, 'I', 33},
    {23, 'O', 35},
    {24, 'P', 36},
}};
// clang-format on

// The binding of a key code, searched in table order; null for a key that plays nothing.
constexpr const KeyBinding* findKey(int16_t keyCode)
{
    for (const auto& binding : KeyMap)
        if (binding.keyCode == keyCode)
            return &binding;
    return nullptr;
}
