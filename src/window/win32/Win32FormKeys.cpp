#include "window/win32/Win32Form.h"

#include "window/win32/FormIds.h"
#include "window/win32/KeyFace.h"

// The key buttons: the mouse on them, their pushed-in look and their faces.

LRESULT CALLBACK Win32Form::keyProc(HWND key, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(key, GWLP_USERDATA));
    return self->onKeyMouse(GetDlgCtrlID(key) - formIds::firstKey, message, wParam, lParam);
}

void Win32Form::onDrawItem(const DRAWITEMSTRUCT& item)
{
    const int index = static_cast<int>(item.CtlID) - formIds::firstKey;
    if (index < 0 || index >= static_cast<int>(keyGrid.size()))
        return;
    paintKey(item, keyGrid[static_cast<size_t>(index)], mouseHeld_[static_cast<size_t>(index)] > 0,
        dpi_ / 96.0 * fit_, captionFont_);
}

LRESULT Win32Form::onKeyMouse(int index, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND key = keys_[static_cast<size_t>(index)];
    int& held = mouseHeld_[static_cast<size_t>(index)];
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        // Every button plays. The key holds the mouse, so that the release
        // comes back to it wherever the pointer is by then.
        SetFocus(key);
        if (held++ == 0) {
            SetCapture(key);
            showPushed(index);
        }
        form1_.Command1_MouseDown(static_cast<int16_t>(index));
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        // A release whose press went elsewhere is not this key's.
        if (held == 0)
            return 0;
        if (--held == 0) {
            ReleaseCapture();
            showPushed(index);
        }
        form1_.Command1_MouseUp(static_cast<int16_t>(index));
        return 0;
    case WM_CAPTURECHANGED:
        // Another window took the mouse: the release will not come here, so
        // the note ends now rather than sound on.
        if (held > 0) {
            held = 0;
            showPushed(index);
            form1_.Command1_MouseUp(static_cast<int16_t>(index));
        }
        return 0;
    case WM_MOUSEMOVE:
        // Kept from the button: it would track the pointer for a hot look
        // that a key never shows (Wine polls it every few milliseconds while
        // the pointer rests there), and, while the key holds the mouse, mark
        // it released whenever the pointer strays off it.
        return 0;
    }
    return CallWindowProcW(buttonProc_, key, message, wParam, lParam);
}

void Win32Form::showPushed(int index)
{
    const auto i = static_cast<size_t>(index);
    // The button's pushed state is what accessibility reports as pressed.
    SendMessageW(keys_[i], BM_SETSTATE, mouseHeld_[i] > 0 || heldByKeys_[i], 0);
    InvalidateRect(keys_[i], nullptr, FALSE);
}

void Win32Form::focusKey(int16_t keyIndex)
{
    SetFocus(keys_[static_cast<size_t>(keyIndex)]);
}

void Win32Form::showHeldByKeys(int16_t keyIndex, bool held)
{
    heldByKeys_[static_cast<size_t>(keyIndex)] = held;
    showPushed(keyIndex);
}
