#include "window/win32/KeyFace.h"

#include <algorithm>
#include <cmath>

#include "window/win32/Wide.h"

namespace {

constexpr COLORREF whiteKey = RGB(255, 255, 255);
constexpr COLORREF blackKey = RGB(255, 224, 192);
constexpr COLORREF frame = RGB(96, 96, 96);

// A pushed-in face: each channel about 15 % darker.
COLORREF darker(COLORREF c)
{
    return RGB(GetRValue(c) * 100 / 115, GetGValue(c) * 100 / 115, GetBValue(c) * 100 / 115);
}

void fill(HDC dc, const RECT& rect, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

// White keys carry their caption below the black keys' band, black keys in their middle.
int captionTop(const KeyInfo& key, double scale)
{
    int band = 0;
    for (const auto& other : keyGrid)
        if (other.kind == KeyKind::Black)
            band = std::max(band, other.rect.height);
    return key.kind == KeyKind::White ? twipsToPixels(band, scale) : 0;
}

} // namespace

void paintKey(const DRAWITEMSTRUCT& item, const KeyInfo& key, bool pushed, double scale, HFONT font)
{
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    const int edge = std::max(1, static_cast<int>(std::lround(scale)));
    fill(dc, r, frame);
    const COLORREF face = key.kind == KeyKind::White ? whiteKey : blackKey;
    RECT inner = r;
    InflateRect(&inner, -edge, -edge);
    fill(dc, inner, pushed ? darker(face) : face);

    RECT caption = r;
    caption.top += captionTop(key, scale);
    HGDIOBJ before = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    const std::wstring text = wideFromUtf8(key.caption);
    DrawTextW(
        dc, text.c_str(), static_cast<int>(text.size()), &caption, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, before);

    if (item.itemState & ODS_FOCUS) {
        RECT focus = r;
        InflateRect(&focus, -3 * edge, -3 * edge);
        DrawFocusRect(dc, &focus);
    }
}
