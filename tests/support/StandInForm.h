#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>

#include "FastClock.h"
#include "RecordingOutput.h"
#include "demo/DemoPlayer.h"
#include "midi/MidiPort.h"
#include "window/Form1.h"
#include "window/FormView.h"

// A window with no toolkit behind it: it keeps what Form1 shows, and holds
// the input a test gives it while the tune plays, as every toolkit's window does.
struct StandInView : FormView, DemoHost {
    std::map<std::pair<MenuName, int>, MenuEntry> entries;
    std::vector<std::string> messages;
    int focusedKey = -1;
    std::map<int, bool> heldByKeys;
    int volMin = 0, volMax = 0, vol = 0;
    bool shown = true;
    // Input that comes while the tune waits between its first steps, and
    // whether the user then asks to close the window.
    std::deque<std::function<void()>> arriving;
    bool closing = false;

    // Input from the user: held while a tune plays, else handled at once.
    void input(std::function<void()> action)
    {
        player && player->playing() ? held.push_back(action) : action();
    }

    void showEntry(MenuName menu, int16_t index, const MenuEntry& entry) override
    {
        entries[{ menu, index }] = entry;
    }
    void showMessage(const char* text) override { messages.push_back(text); }
    void focusKey(int16_t keyIndex) override { focusedKey = keyIndex; }
    void showHeldByKeys(int16_t keyIndex, bool isHeld) override { heldByKeys[keyIndex] = isHeld; }
    void setVolRange(int16_t min, int16_t max) override { volMin = min, volMax = max; }
    void setVolValue(int16_t value) override { vol = value; }
    int16_t volValue() const override { return static_cast<int16_t>(vol); }

    bool isShown() const override { return shown; }
    void startHolding(DemoPlayer& p) override { player = &p; }
    void stopHolding() override { player = nullptr; }
    void takeWaitingEvents() override
    {
        for (; !arriving.empty(); arriving.pop_front())
            input(arriving.front());
        if (closing && player)
            player->requestClose();
    }
    void takeEventsFor(std::chrono::steady_clock::duration, const std::function<bool()>&) override { }
    bool handOnHeldInput() override
    {
        if (held.empty())
            return false;
        auto action = held.front();
        held.pop_front();
        action();
        return true;
    }
    void dropHeldInput() override { held.clear(); }
    void closeWindow() override { shown = false; }

    DemoPlayer* player = nullptr;
    std::deque<std::function<void()>> held;
};

// Form1 in the stand-in window, loaded, playing into a recording output; its
// demo on a clock that never waits.
struct StandInForm {
    explicit StandInForm(std::vector<std::string> deviceNames = {}, std::set<int> failing = {})
        : provider(new RecordingProvider(recording, std::move(deviceNames), std::move(failing)))
        , port(std::unique_ptr<OutputProvider>(provider))
        , form(port, view, view)
    {
        form.demoPlayer().setClock(std::make_unique<FastClock>(1000));
        form.Form_Load();
        recording->clear();
    }

    std::shared_ptr<Recording> recording = std::make_shared<Recording>();
    RecordingProvider* provider;
    MidiPort port;
    StandInView view;
    Form1 form;
};
