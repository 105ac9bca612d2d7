#include "window/win32/Win32DemoHost.h"

#include <vector>

#include "demo/DemoPlayer.h"
#include "window/win32/TimerClock.h"

Win32DemoHost::Win32DemoHost(Dispatch dispatch)
    : dispatch_(std::move(dispatch))
{
}

bool Win32DemoHost::isShown() const
{
    return window_ && IsWindowVisible(window_);
}

bool Win32DemoHost::isUserInput(const MSG& message)
{
    const UINT m = message.message;
    // Alt+F4 closes at once, as the close button does.
    if (m == WM_SYSKEYDOWN && message.wParam == VK_F4)
        return false;
    if (m >= WM_KEYFIRST && m <= WM_KEYLAST)
        return true;
    if (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST)
        return true;
    // The frame's close button stays live; a press on the menu bar or the
    // caption would start a loop of its own that stops the tune.
    if (m >= WM_NCLBUTTONDOWN && m <= WM_NCXBUTTONDBLCLK)
        return message.wParam != HTCLOSE;
    return false;
}

void Win32DemoHost::takeWaitingEvents()
{
    MSG message;
    while (!quit_ && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // For the program's own loop, once the tune has unwound.
            quit_ = true;
            PostQuitMessage(static_cast<int>(message.wParam));
        } else if (message.message == WM_MOUSEMOVE || message.message == WM_NCMOUSEMOVE) {
            // Moves are coalesced: only where the pointer ends up counts, and
            // a later press says that itself.
            if (!player_)
                dispatch_(message);
        } else if (player_ && isUserInput(message)) {
            deferred_.push_back(message);
        } else {
            dispatch_(message);
        }
    }
}

void Win32DemoHost::takeEventsFor(
    std::chrono::steady_clock::duration realTime, const std::function<bool()>& stop)
{
    const auto deadline = clock_->now() + realTime;
    while (!stop() && !quit_ && clock_->now() < deadline) {
        HANDLE timer = clock_->armAt(deadline);
        MsgWaitForMultipleObjectsEx(1, &timer, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        takeWaitingEvents();
    }
}

bool Win32DemoHost::handOnDeferredInput()
{
    if (deferred_.empty())
        return false;
    // Keys go back in as input only to the window that would get them: with
    // another window in front they would go there.
    if (!isKey(deferred_.front()) || GetForegroundWindow() != window_ || isStillDown(deferred_.front())) {
        MSG message = deferred_.front();
        deferred_.pop_front();
        dispatch_(message);
        return true;
    }
    // Keys go back in as input, all that came in a row: a menu that F10 or Alt
    // opens, or a message box, takes the ones after it from the queue as it
    // would have live, and each gets its characters in turn.
    std::vector<INPUT> keys;
    for (; !deferred_.empty() && isKey(deferred_.front()) && !isStillDown(deferred_.front());
        deferred_.pop_front()) {
        const MSG& message = deferred_.front();
        INPUT input {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = static_cast<WORD>(message.wParam);
        input.ki.wScan = static_cast<WORD>((message.lParam >> 16) & 0xFF);
        input.ki.dwFlags = (message.lParam & (1 << 24) ? KEYEVENTF_EXTENDEDKEY : 0)
            | (message.message == WM_KEYUP || message.message == WM_SYSKEYUP ? KEYEVENTF_KEYUP : 0);
        keys.push_back(input);
    }
    SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
    MSG message;
    while (!quit_ && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit_ = true;
            PostQuitMessage(static_cast<int>(message.wParam));
        } else {
            dispatch_(message);
        }
    }
    return true;
}

bool Win32DemoHost::isStillDown(const MSG& message)
{
    // Put back as input, the press of a key the user still holds would come
    // as a repeat and be lost: it goes on as it came.
    const bool press = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
    return press && !(message.lParam & (1 << 30))
        && (GetAsyncKeyState(static_cast<int>(message.wParam)) & 0x8000);
}

bool Win32DemoHost::isKey(const MSG& message)
{
    const UINT m = message.message;
    return m == WM_KEYDOWN || m == WM_KEYUP || m == WM_SYSKEYDOWN || m == WM_SYSKEYUP;
}

void Win32DemoHost::closeWindow()
{
    if (window_)
        SendMessageW(window_, WM_CLOSE, 0, 0);
}
