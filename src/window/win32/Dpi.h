#pragma once

#include <windows.h>

// The window's DPI functions. Windows 10 (1607 on) gives each monitor its own
// DPI; Windows 7, 8 and 8.1 lack the functions for it, which is why they are
// looked up at run time. Where they are missing, the system DPI serves.

// The DPI `window` is shown at.
UINT dpiForWindow(HWND window);
// Grows `rect`, a client area, to the outer rectangle of a window of `style`
// with a menu bar.
void adjustWindowRectForDpi(RECT& rect, DWORD style, UINT dpi);
// The system's message font at `dpi`.
LOGFONTW messageFontForDpi(UINT dpi);
