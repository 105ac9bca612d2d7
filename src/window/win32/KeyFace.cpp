#include "window/win32/KeyFace.h"

#include <algorithm>
#include <cmath>

#include "window/KeyLook.h"
#include "window/win32/Wide.h"

namespace {

void fill(HDC dc, const RECT& rect, Rgb colour)
{
    HBRUSH brush = CreateSolidBrush(RGB(colour.red, colour.green, colour.blue));
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

} // namespace

void paintKey(const DRAWITEMSTRUCT& item, const KeyInfo& key, bool pushed, double scale, HFONT font)
{
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    // Pixels at the window's scale, never thinner than one of the screen's own.
    const int edge = std::max(1, static_cast<int>(std::lround(scale)));
    fill(dc, r, keyLook::frame);
    RECT inner = r;
    InflateRect(&inner, -keyLook::frameWidth * edge, -keyLook::frameWidth * edge);
    fill(dc, inner, keyLook::faceOf(key, pushed));

    RECT caption = r;
    caption.top += twipsToPixels(keyLook::captionTop(key), scale);
    HGDIOBJ before = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(keyLook::caption.red, keyLook::caption.green, keyLook::caption.blue));
    const std::wstring text = wideFromUtf8(key.caption);
    DrawTextW(
        dc, text.c_str(), static_cast<int>(text.size()), &caption, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, before);

    if (item.itemState & ODS_FOCUS) {
        RECT focus = r;
        InflateRect(&focus, -keyLook::focusInset * edge, -keyLook::focusInset * edge);
        DrawFocusRect(dc, &focus);
    }
}
