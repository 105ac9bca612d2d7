#include "midi/winmm/AnsiName.h"

#include <windows.h>

#include <cstring>
#include <vector>

std::string utf8FromAnsi(const char* text, size_t size)
{
    const int length = static_cast<int>(strnlen(text, size));
    if (length == 0)
        return {};
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
    MultiByteToWideChar(CP_ACP, 0, text, length, wide.data(), wideLength);
    const int utf8Length
        = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(utf8Length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(), utf8Length, nullptr, nullptr);
    return utf8;
}
