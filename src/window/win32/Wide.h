#pragma once

#include <windows.h>

#include <string>

// Windows takes text as UTF-16; the toolkit-free code keeps it in UTF-8.
inline std::wstring wideFromUtf8(const std::string& text)
{
    const int length
        = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}
