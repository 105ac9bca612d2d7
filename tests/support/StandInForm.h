#pragma once

#include <deque>
#include <functional>
#include <map>
#include <utility>

#include "FastClock.h"
#include "RecordingOutput.h"
#include "window/Form1.h"
#include "window/FormView.h"

// A window with no toolkit: it keeps what Form1 shows it, and hands on the
// input a test defers in it once a tune has ended.
struct StandInView : FormView, DemoHost {
    std::map<std::pair<MenuName, int>, MenuEntry> entries;
    std::vector<std::string> messages;
    int focusedKey = -1, volTop = 0, volBottom = 0, vol = 0;
    std::deque<std::function<void()>> deferred;
    // Called once, at the tune's first wait.
    std::function<void()> duringTune;

    void showEntry(MenuName menu, int16_t i, const MenuEntry& e) override { entries[{ menu, i }] = e; }
    void showMessage(const char* text) override { messages.push_back(text); }
    void focusKey(int16_t keyIndex) override { focusedKey = keyIndex; }
    void showHeldByKeys(int16_t, bool) override { }
    void setVolRange(int16_t min, int16_t max) override { volTop = min, volBottom = max; }
    void setVolValue(int16_t value) override { vol = value; }
    int16_t volValue() const override { return static_cast<int16_t>(vol); }

    bool isShown() const override { return true; }
    void startHolding(DemoPlayer&) override { }
    void stopHolding() override { }
    void takeWaitingEvents() override
    {
        if (duringTune)
            std::exchange(duringTune, nullptr)();
    }
    void takeEventsFor(std::chrono::steady_clock::duration, const std::function<bool()>&) override { }
    bool handOnDeferredInput() override
    {
        if (deferred.empty())
            return false;
        const auto next = deferred.front();
        deferred.pop_front();
        next();
        return true;
    }
    void dropDeferredInput() override { deferred.clear(); }
    void closeWindow() override { }
};

// Form1 in the stand-in window, loaded; its demo on a clock that never waits.
struct StandInForm : RecordingPort {
    explicit StandInForm(std::vector<std::string> deviceNames = {}, std::set<int> failing = {})
        : RecordingPort(std::move(deviceNames), std::move(failing))
    {
        form.demoPlayer().setClock(std::make_unique<FastClock>(1000));
        form.Form_Load();
        recording->clear();
    }

    StandInView view;
    Form1 form { port, view, view };
};
