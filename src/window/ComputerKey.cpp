#include "window/ComputerKey.h"

#include <array>
#include <string_view>

#include "window/KeyMap.h"

namespace {

// The US letters of the three letter rows, each from the scan code of its first key.
struct LetterRow {
    uint16_t first;
    std::string_view letters;
};
constexpr std::array<LetterRow, 3> letterRows { { { 0x10, "QWERTYUIOP" }, { 0x1E, "ASDFGHJKL" },
    { 0x2C, "ZXCVBNM" } } };

struct Punctuation {
    uint16_t physical;
    int16_t keyCode;
};
constexpr std::array<Punctuation, 4> punctuation { { { 0x27, vk::semicolon }, { 0x33, vk::comma },
    { 0x34, vk::period }, { 0x35, vk::slash } } };

int16_t usLetterAt(uint16_t physical)
{
    for (const auto& row : letterRows)
        if (physical >= row.first && physical < row.first + row.letters.size())
            return static_cast<int16_t>(row.letters[physical - row.first]);
    return 0;
}

// The blocks of the scripts other than Latin that layouts put on the letter
// keys: Greek to Georgian and beyond, Greek's accented letters, kana to Hangul.
bool isOtherScript(char32_t c)
{
    return (c >= 0x370 && c < 0x1E00) || (c >= 0x1F00 && c < 0x2000) || (c >= 0x3040 && c < 0xD800);
}

} // namespace

int16_t keyCodeOf(const ComputerKey& key)
{
    const char32_t c = key.character;
    if (c >= 'a' && c <= 'z')
        return static_cast<int16_t>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z')
        return static_cast<int16_t>(c);
    for (const auto& p : punctuation)
        if (key.physical == p.physical)
            return p.keyCode;
    return isOtherScript(c) ? usLetterAt(key.physical) : 0;
}
