#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "StandInForm.h"

// Form1 without a toolkit: what every window gets from it.

using Values = std::vector<uint32_t>;

TEST(Form1, StartUpFillsTheMenusAndADeviceClickClosesThenOpens)
{
    StandInForm f({ "Port A", "Port B" }, { 0 });
    const auto device = [&](int i) { return f.view.entries[{ MenuName::midi_devices, i }]; };
    EXPECT_EQ(device(2).caption, "Port B");
    EXPECT_FALSE(f.form.midi_devices().entry(3).visible);
    EXPECT_TRUE((device(0).checked && f.view.entries[{ MenuName::channeloption, 0 }].checked));
    EXPECT_EQ(std::tuple(f.view.volTop, f.view.volBottom, f.view.vol), std::tuple(127, 0, 127));

    f.form.device_Click(2);
    EXPECT_EQ(std::tuple(f.form.deviceId, f.recording->closes, f.recording->opens), std::tuple(1, 1, 2));
    // A device that fails to open is reported and keeps the mark.
    f.form.device_Click(1);
    EXPECT_EQ(f.view.messages, std::vector<std::string> { "不能打开midi输出！" });
    EXPECT_EQ(
        std::tuple(device(0).checked, device(1).checked, device(2).checked), std::tuple(false, true, false));
}

TEST(Form1, MenusShowAnAmpersandAsItselfAndCutARunawayNameInItsMiddle)
{
    EXPECT_EQ(menuText("A&B Synth"), "A&&B Synth");
    EXPECT_EQ(menuText(std::string(40, 'a') + std::string(40, 'z')),
        std::string(30, 'a') + "…" + std::string(29, 'z'));
    // Characters are counted, not bytes.
    std::string piano;
    for (int i = 0; i < 60; ++i)
        piano += i % 2 ? "琴" : "钢";
    EXPECT_EQ(menuText(piano), piano);
    EXPECT_EQ(menuText(piano + "&"), piano.substr(0, 90) + "…" + piano.substr(96) + "&&");
}

TEST(Form1, InputHeldDuringTheTuneIsHandledAfterItInOrder)
{
    StandInForm f;
    // A key, its repeat and a second click of the demo button.
    const auto z = [&] { f.form.Form_KeyDown('Z', 0); };
    f.view.deferred = { z, z, [&] { f.form.Command2_Click(); } };
    f.form.Command2_Click();
    EXPECT_EQ(f.view.focusedKey, 0);
    // The tune, from A3 to its last A4, the key once, then the tune again.
    const Values values = f.values();
    ASSERT_EQ(values.size(), 169u * 2 + 1);
    EXPECT_EQ(Values(values.begin() + 168, values.begin() + 171), (Values { 0x7F4590, 0x7F3090, 0x7F3990 }));
}

namespace {

// Seven physical keys (PC scan codes), what five layouts put on them (US,
// US with Shift, German, French AZERTY, Russian) and the notes they play there.
constexpr uint16_t scanCodes[7] = { 0x2C, 0x2D, 0x1E, 0x10, 0x27, 0x35, 0x32 }; // Z X A Q ; / M
constexpr char32_t layouts[5][7] = { { 'Z', 'X', 'A', 'Q', ';', '/', 'M' },
    { 'Z', 'X', 'A', 'Q', ':', '?', 'M' }, { 'Y', 'X', 'A', 'Q', U'Ö', '-', 'M' },
    { 'W', 'X', 'Q', 'A', 'M', '!', ',' }, { U'Я', U'Ч', U'Ф', U'Й', U'Ж', '.', U'Ь' } };
constexpr int notes[5][7] = { { 48, 50, 60, 72, 72, 60, 55 }, { 48, 50, 60, 72, 72, 60, 55 },
    { 0, 50, 60, 72, 72, 60, 55 }, { 74, 50, 72, 60, 55, 60, 0 }, { 48, 50, 60, 72, 72, 60, 55 } };

// A user's random doings and what the window reports of them: keys go down
// and up (unseen while another window is active, and on Windows while a loop
// of the platform's has the keyboard), the layout switches, the activation
// goes and comes back, a menu opens, a device or channel is chosen in it, it
// closes, the demo plays (the activation lost during it, or not).
struct KeyboardRun {
    enum Kind { Key, Layout, Activation, LoopBegins, Choice, LoopEnds, Demo };

    void step(std::mt19937& random)
    {
        std::vector<Kind> kinds { Key, Key, Layout, Activation };
        if (inLoop)
            kinds.insert(kinds.end(), { Choice, Choice, LoopEnds });
        else if (active)
            kinds.insert(kinds.end(), { LoopBegins, Demo });
        const auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
        const int i = static_cast<int>(pick(7));
        switch (kinds[pick(kinds.size())]) {
        case Key:
            press(i);
            break;
        case Layout:
            layout = i % 5;
            steps << "layout " << layout << ", ";
            break;
        case Activation:
            steps << (active ? "deactivate, " : "activate, ");
            if (active)
                f.form.Form_Deactivate();
            active = !active;
            break;
        case LoopBegins:
            inLoop = true;
            steps << "loop begins, ";
            f.form.modalLoopBegan();
            break;
        case Choice:
            steps << (i % 2 ? "device " : "channel ") << i / 2 << ", ";
            i % 2 ? f.form.device_Click(static_cast<int16_t>(i / 2))
                  : f.form.chan_Click(static_cast<int16_t>(i / 2));
            break;
        case LoopEnds:
            inLoop = false;
            steps << "loop ends, ";
            f.form.modalLoopEnded();
            break;
        case Demo:
            steps << (i % 2 ? "demo with the activation lost, " : "demo, ");
            // Lost during the tune, the activation ends the held keys' notes at once.
            if (i % 2)
                f.view.duringTune = [this] {
                    active = false;
                    f.form.Form_Deactivate();
                    for (int16_t held : f.form.heldKeys)
                        faults << (held ? "a key held on after the loss; " : "");
                };
            f.form.Command2_Click();
            for (int note : { 55, 57, 59, 60, 62, 64, 65, 67, 69, 71, 72 }) // the tune leaves these sounding
                tuneNotes.insert({ f.form.deviceId, f.form.channel, note });
            break;
        }
    }

    // Key i goes down, or up when it is down.
    void press(int i, int16_t shift = 0)
    {
        const bool goesDown = down.insert(i).second;
        if (!goesDown)
            down.erase(i);
        steps << (goesDown ? "down " : "up ") << "ZXAQ;/M"[i] << ", ";
        const ComputerKey key { scanCodes[i], layouts[layout][i], shift };
        if (active && (!inLoop || loopsShowKeys))
            goesDown ? f.form.keyDown(key) : f.form.keyUp(key);
    }

    // Every key up: nothing sounds, and the next press of each key plays its
    // note in the layout of the moment, whatever Shift or Ctrl.
    std::string fault()
    {
        const std::string sequence = steps.str();
        for (int i : std::set(down))
            press(i);
        for (const auto& sounding : f.recording->sounding())
            if (!tuneNotes.count(sounding))
                faults << "note " << std::get<2>(sounding) << " sounds on device " << std::get<0>(sounding)
                       << "; ";
        f.form.modalLoopEnded();
        inLoop = false;
        active = true;
        f.recording->clear();
        Values expected;
        for (int i = 0; i < 7; ++i) {
            press(i, 3);
            press(i);
            if (const int note = notes[layout][i])
                expected.insert(expected.end(), { on(note, f.form.channel), off(note, f.form.channel) });
        }
        if (f.values() != expected)
            faults << "the next presses did not play their notes in layout " << layout;
        return faults.str().empty() ? "" : sequence + "then every key up: " + faults.str();
    }

    bool loopsShowKeys = true;
    StandInForm f { { "Port A", "Port B" } };
    std::set<int> down;
    bool active = true, inLoop = false;
    int layout = 0;
    std::set<std::tuple<int, int, int>> tuneNotes;
    std::ostringstream steps, faults;
};

} // namespace

TEST(Form1, WhateverTheUserDoesNoKeysNoteSoundsOnOnceEveryKeyIsUp)
{
    std::mt19937 random(41);
    // Shorter sequences first: the first that fails is among the shortest.
    for (size_t length = 1; length <= 24; ++length)
        for (int run = 0; run < 160; ++run) {
            KeyboardRun keyboard;
            keyboard.loopsShowKeys = run % 2 == 0;
            keyboard.steps << (keyboard.loopsShowKeys ? "" : "loops hide the keys: ");
            for (size_t i = 0; i < length; ++i)
                keyboard.step(random);
            ASSERT_EQ(keyboard.fault(), "");
        }
}
