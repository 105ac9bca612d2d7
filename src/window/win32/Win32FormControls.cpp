#include "window/win32/Win32Form.h"

#include <algorithm>

#include "window/ControlOrder.h"
#include "window/Controls.h"
#include "window/KeyPitch.h"
#include "window/ScreenFit.h"
#include "window/win32/Dpi.h"
#include "window/win32/Fonts.h"
#include "window/win32/FormIds.h"
#include "window/win32/Wide.h"

// Making the window's controls and menus, and placing them at its scale.

namespace {

void place(HWND control, const TwipsRect& rect, double scale)
{
    const int left = twipsToPixels(rect.left, scale);
    const int top = twipsToPixels(rect.top, scale);
    SetWindowPos(control, nullptr, left, top, twipsToPixels(rect.right(), scale) - left,
        twipsToPixels(rect.bottom(), scale) - top, SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND makeControl(HWND parent, const wchar_t* kind, const std::wstring& text, DWORD style, int id = 0)
{
    return CreateWindowExW(0, kind, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
}

} // namespace

HMENU Win32Form::makeMenuBar()
{
    HMENU bar = CreateMenu();
    devices_ = CreatePopupMenu();
    channels_ = CreatePopupMenu();
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(devices_),
        wideFromUtf8(form1_.midi_devices().title()).c_str());
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(channels_),
        wideFromUtf8(form1_.channeloption().title()).c_str());
    return bar;
}

void Win32Form::onCreate()
{
    demoHost_.setWindow(window_);
    dpi_ = dpiForWindow(window_);

    label1_ = makeControl(window_, L"STATIC", wideFromUtf8(controls::Label1.caption), SS_LEFT);
    vol_.create(window_, formIds::vol);
    for (const auto& key : keyGrid) {
        // The caption is numbered notation, the same for several keys; the
        // button's own text, which screen readers say, is the pitch.
        HWND button = makeControl(window_, L"BUTTON", wideFromUtf8(pitchName(key.index)),
            BS_OWNERDRAW | WS_TABSTOP | WS_CLIPSIBLINGS, formIds::firstKey + key.index);
        SetWindowLongPtrW(button, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        buttonProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(keyProc)));
        keys_[static_cast<size_t>(key.index)] = button;
    }
    // Each key raised lies above those raised before it.
    for (int index : stackingOrder)
        SetWindowPos(keys_[static_cast<size_t>(index)], HWND_TOP, 0, 0, 0, 0,
            SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    label2_ = makeControl(window_, L"STATIC", wideFromUtf8(controls::Label2.caption), SS_LEFT);
    label3_ = makeControl(window_, L"STATIC", wideFromUtf8(controls::Label3.caption), SS_LEFT);
    command2_ = makeControl(window_, L"BUTTON", wideFromUtf8(controls::Command2.caption),
        BS_PUSHBUTTON | WS_TABSTOP, formIds::command2);
    layout();
}

void Win32Form::layout()
{
    const double scale = dpi_ / 96.0 * fit_;
    place(label1_, controls::Label1.rect, scale);
    place(vol_.handle(), controls::vol, scale);
    for (const auto& key : keyGrid)
        place(keys_[static_cast<size_t>(key.index)], key.rect, scale);
    place(label2_, controls::Label2.rect, scale);
    place(label3_, controls::Label3.rect, scale);
    place(command2_, controls::Command2.rect, scale);

    // The controls keep their old fonts until they have the new ones.
    const std::array<HFONT, 5> old { label1Font_, label2Font_, label3Font_, command2Font_, captionFont_ };
    const double pixelsPerInch = dpi_ * fit_;
    label1Font_ = createControlFont(controls::Label1.font, GB2312_CHARSET, pixelsPerInch);
    label2Font_ = createControlFont(controls::Label2.font, GB2312_CHARSET, pixelsPerInch);
    label3Font_ = createControlFont(controls::Label3.font, ANSI_CHARSET, pixelsPerInch);
    command2Font_ = createControlFont(controls::Command2.font, GB2312_CHARSET, pixelsPerInch);
    captionFont_ = createCaptionFont(dpi_, fit_);
    const std::pair<HWND, HFONT> fonts[] = { { label1_, label1Font_ }, { label2_, label2Font_ },
        { label3_, label3Font_ }, { command2_, command2Font_ } };
    for (const auto& [control, font] : fonts)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    for (HFONT font : old)
        if (font)
            DeleteObject(font);
    for (HWND key : keys_)
        InvalidateRect(key, nullptr, TRUE);

    RECT frame { 0, 0, twipsToPixels(controls::client.width, scale),
        twipsToPixels(controls::client.height, scale) };
    adjustWindowRectForDpi(frame, formIds::windowStyle, dpi_);
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
        SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Form::fitAndCentre()
{
    MONITORINFO monitor {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    const double scale = dpi_ / 96.0;
    const int width = twipsToPixels(controls::client.width, scale);
    const int height = twipsToPixels(controls::client.height, scale);
    RECT frame { 0, 0, width, height };
    adjustWindowRectForDpi(frame, formIds::windowStyle, dpi_);
    fit_ = fittingScale({ width, height },
        { frame.right - frame.left - width, frame.bottom - frame.top - height },
        { work.right - work.left, work.bottom - work.top });
    layout();
    RECT outer;
    GetWindowRect(window_, &outer);
    SetWindowPos(window_, nullptr, work.left + centredStart(work.right - work.left, outer.right - outer.left),
        work.top + centredStart(work.bottom - work.top, outer.bottom - outer.top), 0, 0,
        SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Form::onDpiChanged(UINT dpi, const RECT& suggested)
{
    dpi_ = dpi;
    SetWindowPos(
        window_, nullptr, suggested.left, suggested.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    layout();
}

void Win32Form::freeFonts()
{
    for (HFONT* font : { &label1Font_, &label2Font_, &label3Font_, &command2Font_, &captionFont_ }) {
        if (*font)
            DeleteObject(*font);
        *font = nullptr;
    }
}

void Win32Form::showEntry(MenuName menu, int16_t index, const MenuEntry& entry)
{
    auto& entries = entries_[static_cast<size_t>(menu)];
    entries[static_cast<size_t>(index)] = entry;
    // A Win32 menu has no hidden entries: it is rebuilt from the visible ones.
    HMENU popup = menu == MenuName::midi_devices ? devices_ : channels_;
    const int firstId = menu == MenuName::midi_devices ? formIds::firstDevice : formIds::firstChannel;
    while (GetMenuItemCount(popup) > 0)
        DeleteMenu(popup, 0, MF_BYPOSITION);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!entries[i].visible)
            continue;
        const UINT flags
            = MF_STRING | (entries[i].checked ? MF_CHECKED : 0) | (entries[i].enabled ? 0 : MF_GRAYED);
        AppendMenuW(popup, flags, static_cast<UINT_PTR>(firstId) + i,
            wideFromUtf8(menuText(entries[i].caption)).c_str());
    }
}
