#include "window/win32/Win32Form.h"

#include <algorithm>

#include "window/ControlOrder.h"
#include "window/Controls.h"
#include "window/win32/FormIds.h"
#include "window/win32/TimerClock.h"
#include "window/win32/Wide.h"

// The window's life and the routing of its messages: each message goes to
// one small handler, and each handler to Form1.

namespace {

int16_t shiftState()
{
    return static_cast<int16_t>((GetKeyState(VK_SHIFT) < 0 ? 1 : 0) | (GetKeyState(VK_CONTROL) < 0 ? 2 : 0)
        | (GetKeyState(VK_MENU) < 0 ? 4 : 0));
}

ComputerKey computerKeyOf(const MSG& message)
{
    const auto vk = static_cast<UINT>(message.wParam);
    const auto scanCode
        = static_cast<uint16_t>(((message.lParam >> 16) & 0xFF) | (message.lParam & (1 << 24) ? 0xE000 : 0));
    // A letter's virtual key is the letter the layout puts there, and in a
    // layout of another script the US letter in its place.
    const char32_t character = vk >= 'A' && vk <= 'Z' ? vk : MapVirtualKeyW(vk, MAPVK_VK_TO_CHAR) & 0xFFFF;
    return { scanCode, character, shiftState() };
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
    windowClass.lpszClassName = formIds::className;
    RegisterClassExW(&windowClass);

    HMENU bar = makeMenuBar();

    const std::wstring caption = wideFromUtf8(windowCaption);
    if (!CreateWindowExW(0, formIds::className, caption.c_str(), formIds::windowStyle, CW_USEDEFAULT,
            CW_USEDEFAULT, 0, 0, nullptr, bar, instance_, this))
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
        switch (message.message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            // Bit 30: the key was down already, the platform repeats it.
            if (!(message.lParam & (1 << 30)))
                form1_.keyDown(computerKeyOf(message));
            if (message.message == WM_KEYDOWN && message.wParam == VK_TAB
                && moveFocus(GetKeyState(VK_SHIFT) < 0))
                return;
            break;
        case WM_KEYUP:
        case WM_SYSKEYUP:
            form1_.keyUp(computerKeyOf(message));
            break;
        }
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

bool Win32Form::moveFocus(bool backwards)
{
    // The windows' own order is their stacking, not the tab order.
    std::vector<HWND> order;
    for (TabStop stop : tabOrder)
        order.push_back(stop.control == TabStop::Control::vol ? vol_.handle()
                : stop.control == TabStop::Control::key       ? keys_[static_cast<size_t>(stop.keyIndex)]
                                                              : command2_);
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
    // The platform's own loops take the keyboard: the keys released in them never come here.
    case WM_ENTERMENULOOP:
    case WM_ENTERSIZEMOVE:
        form1_.modalLoopBegan();
        return 0;
    case WM_EXITMENULOOP:
    case WM_EXITSIZEMOVE:
        form1_.modalLoopEnded();
        return 0;
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

void Win32Form::onCommand(int id, int code, HWND control)
{
    if (control == command2_ && code == BN_CLICKED)
        form1_.Command2_Click();
    else if (!control && id >= formIds::firstDevice && id < formIds::firstDevice + Form1::deviceEntries)
        form1_.device_Click(static_cast<int16_t>(id - formIds::firstDevice));
    else if (!control && id >= formIds::firstChannel && id < formIds::firstChannel + Form1::channelEntries)
        form1_.chan_Click(static_cast<int16_t>(id - formIds::firstChannel));
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

void Win32Form::showMessage(const char* text)
{
    // Before the window shows, the box stands alone, as the program's first window.
    MessageBoxW(IsWindowVisible(window_) ? window_ : nullptr, wideFromUtf8(text).c_str(), nullptr, MB_OK);
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
