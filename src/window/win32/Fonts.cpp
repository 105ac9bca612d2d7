#include "window/win32/Fonts.h"

#include <cmath>
#include <cwchar>
#include <string>

#include "window/win32/Dpi.h"
#include "window/win32/Wide.h"

namespace {

bool hasFamily(const std::wstring& family)
{
    LOGFONTW wanted {};
    wanted.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(wanted.lfFaceName, family.c_str(), LF_FACESIZE - 1);
    HDC screen = GetDC(nullptr);
    // The callback stops at the first face: 0 means one was found.
    const int rest = EnumFontFamiliesExW(
        screen, &wanted, [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM) -> int { return 0; }, 0, 0);
    ReleaseDC(nullptr, screen);
    return rest == 0;
}

std::wstring familyOrFallback(const char* family)
{
    std::wstring wide = wideFromUtf8(family);
    if (wide == L"华文行楷" && !hasFamily(wide))
        return L"楷体";
    return wide;
}

} // namespace

HFONT createControlFont(const ControlFont& font, BYTE charset, double pixelsPerInch)
{
    const std::wstring family = familyOrFallback(font.family);
    LOGFONTW logFont {};
    // Negative: the character height, as a point size means it.
    logFont.lfHeight = -static_cast<LONG>(std::lround(font.points * pixelsPerInch / 72));
    logFont.lfWeight = FW_NORMAL;
    logFont.lfCharSet = charset;
    logFont.lfQuality = DEFAULT_QUALITY;
    wcsncpy(logFont.lfFaceName, family.c_str(), LF_FACESIZE - 1);
    return CreateFontIndirectW(&logFont);
}

HFONT createCaptionFont(UINT dpi, double fit)
{
    LOGFONTW font = messageFontForDpi(dpi);
    font.lfHeight = static_cast<LONG>(std::lround(font.lfHeight * fit));
    return CreateFontIndirectW(&font);
}
