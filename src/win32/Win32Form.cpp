#include "win32/Win32Form.h"

#include <algorithm>

#include "win32/Fonts.h"
#include "win32/KeyFace.h"
#include "win32/TimerClock.h"
#include "win32/Wide.h"
#include "window/Controls.h"
#include "window/KeyPitch.h"

namespace {

constexpr wchar_t className[] = L"Tonvelo";
constexpr DWORD windowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// Control and menu command ids.
constexpr int volId = 50;
constexpr int command2Id = 60;
constexpr int firstKeyId = 100;
constexpr int firstDeviceId = 1000;
constexpr int firstChannelId = 1100;

int16_t shiftState()
{
    return static_cast<int16_t>((GetKeyState(VK_SHIFT) < 0 ? 1 : 0) | (GetKeyState(VK_CONTROL) < 0 ? 2 : 0)
        | (GetKeyState(VK_MENU) < 0 ? 4 : 0));
}

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

Win32Form::Win32Form(MidiPort& port, HINSTANCE instance)
    : form1_(port, *this, demoHost_)
    , instance_(instance)
{
    auto clock = std::make_unique<TimerClock>();
    demoHost_.setClock(*clock);
    form1_.demoPlayer().setClock(std::move(clock));
    for (const ChoiceMenu* menu : { &form1_.midi_devices(), &form1_.channeloption() })
        for (int16_t i = 0; i < menu->size(); ++i)
            entries_[static_cast<size_t>(menu->name())].push_back(menu->entry(i));
}

Win32Form::~Win32Form()
{
    if (window_)
        DestroyWindow(window_);
    freeFonts();
}

bool Win32Form::create(int show)
{
    WNDCLASSEXW windowClass {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance_;
    windowClass.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(1));
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);

    HMENU bar = CreateMenu();
    devices_ = CreatePopupMenu();
    channels_ = CreatePopupMenu();
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(devices_),
        wideFromUtf8(form1_.midi_devices().title()).c_str());
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(channels_),
        wideFromUtf8(form1_.channeloption().title()).c_str());

    const std::wstring caption = wideFromUtf8(windowCaption);
    if (!CreateWindowExW(0, className, caption.c_str(), windowStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0,
            nullptr, bar, instance_, this))
        return false;
    form1_.Form_Load();
    fitAndCentre();
    ShowWindow(window_, show);
    UpdateWindow(window_);
    // The first control of the tab order has the focus when the window opens.
    SetFocus(vol_.handle());
    return true;
}

int Win32Form::run()
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        dispatch(message);
    return static_cast<int>(message.wParam);
}

void Win32Form::dispatch(MSG& message)
{
    const bool ours = window_ && (message.hwnd == window_ || IsChild(window_, message.hwnd));
    if (ours) {
        const auto code = static_cast<int16_t>(message.wParam);
        switch (message.message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            // Bit 30: the key was down already, the platform repeats it.
            if (!(message.lParam & (1 << 30)))
                form1_.Form_KeyDown(code, shiftState());
            if (message.message == WM_KEYDOWN && message.wParam == VK_TAB
                && moveFocus(GetKeyState(VK_SHIFT) < 0))
                return;
            break;
        case WM_KEYUP:
        case WM_SYSKEYUP:
            form1_.Form_KeyUp(code, shiftState());
            break;
        }
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

bool Win32Form::moveFocus(bool backwards)
{
    // The tab order is the bar, the keys by index, then the demo button; the
    // windows' own order is their stacking, black keys above white ones.
    std::vector<HWND> order { vol_.handle() };
    order.insert(order.end(), keys_.begin(), keys_.end());
    order.push_back(command2_);
    const auto at = std::find(order.begin(), order.end(), GetFocus());
    if (at == order.end())
        return false;
    const auto size = static_cast<long>(order.size());
    const long next = ((at - order.begin()) + (backwards ? size - 1 : 1)) % size;
    SetFocus(order[static_cast<size_t>(next)]);
    return true;
}

LRESULT CALLBACK Win32Form::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Win32Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT Win32Form::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        onCreate();
        return 0;
    case WM_DRAWITEM:
        onDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_COMMAND:
        onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_VSCROLL:
        onVScroll(LOWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_MOUSEWHEEL:
        onMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_ACTIVATE:
        if (onActivate(LOWORD(wParam) != WA_INACTIVE))
            return 0;
        break;
    case WM_CLOSE:
        onClose();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY: {
        // The window's last message: nothing reaches it after this one.
        HWND window = window_;
        window_ = nullptr;
        demoHost_.setWindow(nullptr);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    case WM_DPICHANGED:
        onDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT CALLBACK Win32Form::keyProc(HWND key, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(key, GWLP_USERDATA));
    return self->onKeyMouse(GetDlgCtrlID(key) - firstKeyId, message, wParam, lParam);
}

void Win32Form::onCreate()
{
    demoHost_.setWindow(window_);
    dpi_ = GetDpiForWindow(window_);

    label1_ = makeControl(window_, L"STATIC", wideFromUtf8(controls::Label1.caption), SS_LEFT);
    vol_.create(window_, volId);
    // Created in index order, each key then raised above those before it:
    // white keys first, so that black keys lie above them and of two
    // overlapping white keys the right-hand one shows.
    for (const auto& key : keyGrid) {
        // The caption is numbered notation, the same for several keys; the
        // button's own text, which screen readers say, is the pitch.
        HWND button = makeControl(window_, L"BUTTON", wideFromUtf8(pitchName(key.index)),
            BS_OWNERDRAW | WS_TABSTOP | WS_CLIPSIBLINGS, firstKeyId + key.index);
        SetWindowLongPtrW(button, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        buttonProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(keyProc)));
        keys_[static_cast<size_t>(key.index)] = button;
    }
    for (KeyKind kind : { KeyKind::White, KeyKind::Black })
        for (const auto& key : keyGrid)
            if (key.kind == kind)
                SetWindowPos(keys_[static_cast<size_t>(key.index)], HWND_TOP, 0, 0, 0, 0,
                    SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    label2_ = makeControl(window_, L"STATIC", wideFromUtf8(controls::Label2.caption), SS_LEFT);
    label3_ = makeControl(window_, L"STATIC", wideFromUtf8(controls::Label3.caption), SS_LEFT);
    command2_ = makeControl(
        window_, L"BUTTON", wideFromUtf8(controls::Command2.caption), BS_PUSHBUTTON | WS_TABSTOP, command2Id);
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
    AdjustWindowRectExForDpi(&frame, windowStyle, TRUE, 0, dpi_);
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
    AdjustWindowRectExForDpi(&frame, windowStyle, TRUE, 0, dpi_);
    const int frameWidth = frame.right - frame.left - width;
    const int frameHeight = frame.bottom - frame.top - height;
    fit_ = fittingScale(
        width, height, work.right - work.left - frameWidth, work.bottom - work.top - frameHeight);
    layout();
    RECT outer;
    GetWindowRect(window_, &outer);
    const int w = outer.right - outer.left;
    const int h = outer.bottom - outer.top;
    SetWindowPos(window_, nullptr, std::max(work.left, work.left + (work.right - work.left - w) / 2),
        std::max(work.top, work.top + (work.bottom - work.top - h) / 2), 0, 0,
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

void Win32Form::onDrawItem(const DRAWITEMSTRUCT& item)
{
    const int index = static_cast<int>(item.CtlID) - firstKeyId;
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

void Win32Form::onCommand(int id, int code, HWND control)
{
    if (control == command2_ && code == BN_CLICKED)
        form1_.Command2_Click();
    else if (!control && id >= firstDeviceId && id < firstDeviceId + Form1::deviceEntries)
        form1_.device_Click(static_cast<int16_t>(id - firstDeviceId));
    else if (!control && id >= firstChannelId && id < firstChannelId + Form1::channelEntries)
        form1_.chan_Click(static_cast<int16_t>(id - firstChannelId));
}

void Win32Form::onVScroll(int request, HWND control)
{
    if (control == vol_.handle() && vol_.scroll(request))
        form1_.vol_Change();
}

void Win32Form::onMouseWheel(int delta)
{
    // The wheel moves the bar when it has the focus or the pointer is on it.
    POINT pointer;
    GetCursorPos(&pointer);
    if ((GetFocus() == vol_.handle() || WindowFromPoint(pointer) == vol_.handle()) && vol_.turn(delta))
        form1_.vol_Change();
}

bool Win32Form::onActivate(bool active)
{
    if (!active) {
        focusBeforeDeactivation_ = GetFocus();
        DemoPlayer* player = demoHost_.player();
        if (player && player->playing())
            player->noteActivationLost();
        else
            form1_.Form_Deactivate();
        return false;
    }
    // Back where the focus was, not on the window itself.
    if (focusBeforeDeactivation_ && IsChild(window_, focusBeforeDeactivation_)) {
        SetFocus(focusBeforeDeactivation_);
        return true;
    }
    return false;
}

void Win32Form::onClose()
{
    // During the tune a close ends the tune first; it then closes the window at once.
    DemoPlayer* player = demoHost_.player();
    if (player && player->playing()) {
        player->requestClose();
        return;
    }
    form1_.Form_Unload();
    DestroyWindow(window_);
}

void Win32Form::showEntry(MenuName menu, int16_t index, const MenuEntry& entry)
{
    auto& entries = entries_[static_cast<size_t>(menu)];
    entries[static_cast<size_t>(index)] = entry;
    // A Win32 menu has no hidden entries: it is rebuilt from the visible ones.
    HMENU popup = menu == MenuName::midi_devices ? devices_ : channels_;
    const int firstId = menu == MenuName::midi_devices ? firstDeviceId : firstChannelId;
    while (GetMenuItemCount(popup) > 0)
        DeleteMenu(popup, 0, MF_BYPOSITION);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!entries[i].visible)
            continue;
        const UINT flags
            = MF_STRING | (entries[i].checked ? MF_CHECKED : 0) | (entries[i].enabled ? 0 : MF_GRAYED);
        AppendMenuW(
            popup, flags, static_cast<UINT_PTR>(firstId) + i, wideFromUtf8(entries[i].caption).c_str());
    }
}

void Win32Form::showMessage(const char* text)
{
    // Before the window shows, the box stands alone, as the program's first window.
    MessageBoxW(IsWindowVisible(window_) ? window_ : nullptr, wideFromUtf8(text).c_str(), nullptr, MB_OK);
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

void Win32Form::setVolRange(int16_t min, int16_t max)
{
    vol_.setRange(min, max);
}

void Win32Form::setVolValue(int16_t value)
{
    vol_.setValue(value);
}

int16_t Win32Form::volValue() const
{
    return vol_.value();
}
