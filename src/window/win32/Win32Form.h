#pragma once

#include <windows.h>

#include <array>
#include <vector>

#include "window/Form1.h"
#include "window/FormView.h"
#include "window/KeyGrid.h"
#include "window/win32/VelocityBar.h"
#include "window/win32/Win32DemoHost.h"

class MidiPort;

// The keyboard window in Win32. It makes the platform's own controls, lays
// them out from their twips at the window's DPI and hands their messages to
// Form1, which does the rest. Its state is this one object, which the window
// reaches through GWLP_USERDATA. Its life and message routing are in
// Win32Form.cpp, its controls and menus in Win32FormControls.cpp, the key
// buttons in Win32FormKeys.cpp.
class Win32Form : private FormView {
    // First, so that Form1 can take it.
    Win32DemoHost demoHost_ { [this](MSG& message) { dispatch(message); } };
    Form1 form1_;

public:
    Win32Form(MidiPort& port, HINSTANCE instance);
    ~Win32Form() override;

    Win32Form(const Win32Form&) = delete;
    Win32Form& operator=(const Win32Form&) = delete;

    // Makes the window, runs the start-up (a failed open says so before the
    // window shows), centres it and shows it. False when no window could be made.
    bool create(int show);
    // The message loop, until the window has closed.
    int run();

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK keyProc(HWND key, UINT message, WPARAM wParam, LPARAM lParam);

    // Every message our own loops take passes here: the window sees each real
    // key press and release before the focused control does.
    void dispatch(MSG& message);
    // Tab and Shift+Tab: false when none of the tab order has the focus.
    bool moveFocus(bool backwards);

    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    // The menu bar with its two empty menus, which showEntry fills.
    HMENU makeMenuBar();
    void onCreate();
    void onDrawItem(const DRAWITEMSTRUCT& item);
    void onCommand(int id, int code, HWND control);
    void onVScroll(int request, HWND control);
    void onMouseWheel(int delta);
    bool onActivate(bool active);
    void onClose();
    void onDpiChanged(UINT dpi, const RECT& suggested);
    LRESULT onKeyMouse(int index, UINT message, WPARAM wParam, LPARAM lParam);

    void showEntry(MenuName menu, int16_t index, const MenuEntry& entry) override;
    void showMessage(const char* text) override;
    void focusKey(int16_t keyIndex) override;
    void showHeldByKeys(int16_t keyIndex, bool held) override;
    void setVolRange(int16_t min, int16_t max) override;
    void setVolValue(int16_t value) override;
    int16_t volValue() const override;

    // Places every control and sizes the window at the current scale.
    void layout();
    // At the largest uniform scale, at most the DPI's, at which the window
    // fits its monitor's work area, centred there.
    void fitAndCentre();
    void freeFonts();
    void showPushed(int index);

    HINSTANCE instance_;
    HWND window_ = nullptr;
    std::array<HWND, keyGrid.size()> keys_ {};
    // Mouse buttons down on each key; the key holds the mouse meanwhile.
    std::array<int, keyGrid.size()> mouseHeld_ {};
    std::array<bool, keyGrid.size()> heldByKeys_ {};
    WNDPROC buttonProc_ = nullptr;
    VelocityBar vol_;
    HWND label1_ = nullptr;
    HWND label2_ = nullptr;
    HWND label3_ = nullptr;
    HWND command2_ = nullptr;
    HMENU devices_ = nullptr;
    HMENU channels_ = nullptr;
    std::array<std::vector<MenuEntry>, 2> entries_;
    HFONT label1Font_ = nullptr;
    HFONT label2Font_ = nullptr;
    HFONT label3Font_ = nullptr;
    HFONT command2Font_ = nullptr;
    HFONT captionFont_ = nullptr;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    double fit_ = 1.0;
    HWND focusBeforeDeactivation_ = nullptr;
};
