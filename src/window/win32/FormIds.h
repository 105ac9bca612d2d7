#pragma once

#include <windows.h>

// What the parts of Win32Form share: the window's class and style, and the
// ids of its controls and menu commands.
namespace formIds {

inline constexpr wchar_t className[] = L"Tonvelo";
inline constexpr DWORD windowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

inline constexpr int vol = 50;
inline constexpr int command2 = 60;
inline constexpr int firstKey = 100;
inline constexpr int firstDevice = 1000;
inline constexpr int firstChannel = 1100;

} // namespace formIds
