#include "window/win32/Dpi.h"

namespace {

// The function `name` of user32, which every program with a window has
// loaded for good; null where this Windows lacks it.
template <typename Function> Function* fromUser32(const char* name)
{
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(found));
}

UINT systemDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return static_cast<UINT>(dpi);
}

} // namespace

UINT dpiForWindow(HWND window)
{
    static const auto perMonitor = fromUser32<decltype(GetDpiForWindow)>("GetDpiForWindow");
    return perMonitor ? perMonitor(window) : systemDpi();
}

void adjustWindowRectForDpi(RECT& rect, DWORD style, UINT dpi)
{
    static const auto perMonitor = fromUser32<decltype(AdjustWindowRectExForDpi)>("AdjustWindowRectExForDpi");
    // Without it (Windows 8.1 at most) the frame is drawn at the system DPI.
    if (perMonitor)
        perMonitor(&rect, style, TRUE, 0, dpi);
    else
        AdjustWindowRectEx(&rect, style, TRUE, 0);
}

LOGFONTW messageFontForDpi(UINT dpi)
{
    static const auto perMonitor
        = fromUser32<decltype(SystemParametersInfoForDpi)>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics {};
    metrics.cbSize = sizeof(metrics);
    if (perMonitor) {
        perMonitor(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi);
        return metrics.lfMessageFont;
    }
    // The system DPI's font, scaled to a monitor's own DPI where Windows 8.1
    // tells the window one.
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    LOGFONTW font = metrics.lfMessageFont;
    font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(systemDpi()));
    return font;
}
