#include <gtest/gtest.h>

#include <array>
#include <random>
#include <sstream>

#include "StandInForm.h"
#include "demo/DemoTune.h"
#include "midi/MidiMessage.h"

// Form1 without a toolkit: what every window gets from it.

using Values = std::vector<uint32_t>;

namespace {

uint32_t on(int note, int channel = 0)
{
    return midi::noteOnValue(note, channel, 127);
}

uint32_t off(int note, int channel = 0)
{
    return midi::noteOffValue(note, channel);
}

} // namespace

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

// Physical keys by PC scan code, named by their US letter, and what five
// layouts put on them: US, US with Shift, German, French (AZERTY) and Russian.
enum Layout { us, usShifted, de, fr, ru };
struct PhysicalKey {
    const char* name;
    uint16_t scanCode;
    std::array<char32_t, 5> characters;
};
constexpr std::array<PhysicalKey, 7> keys { {
    { "Z", 0x2C, { 'Z', 'Z', 'Y', 'W', U'Я' } },
    { "X", 0x2D, { 'X', 'X', 'X', 'X', U'Ч' } },
    { "A", 0x1E, { 'A', 'A', 'A', 'Q', U'Ф' } },
    { "Q", 0x10, { 'Q', 'Q', 'Q', 'A', U'Й' } },
    { ";", 0x27, { ';', ':', U'Ö', 'M', U'Ж' } },
    { "/", 0x35, { '/', '?', '-', '!', '.' } },
    { "M", 0x32, { 'M', 'M', 'M', ',', U'Ь' } },
} };

ComputerKey keyOn(Layout layout, size_t key, int16_t shift = 0)
{
    return { keys[key].scanCode, keys[key].characters[layout], shift };
}

} // namespace

TEST(Form1, LettersPlayByTheLayoutsLetterPunctuationAndOtherScriptsByPosition)
{
    // The notes of Z X A Q ; / M in each layout; 0 where the key plays nothing.
    const std::map<Layout, std::array<int, 7>> notes { { us, { 48, 50, 60, 72, 72, 60, 55 } },
        { usShifted, { 48, 50, 60, 72, 72, 60, 55 } }, { de, { 0, 50, 60, 72, 72, 60, 55 } },
        { fr, { 74, 50, 72, 60, 55, 60, 0 } }, { ru, { 48, 50, 60, 72, 72, 60, 55 } } };
    for (const auto& [layout, expected] : notes) {
        StandInForm f;
        Values values;
        for (size_t key = 0; key < keys.size(); ++key) {
            f.form.keyDown(keyOn(layout, key, 3)); // Shift or Ctrl changes nothing
            f.form.keyUp(keyOn(layout, key));
            if (expected[key])
                values.insert(values.end(), { on(expected[key]), off(expected[key]) });
        }
        EXPECT_EQ(f.values(), values) << "layout " << layout;
    }
}

TEST(Form1, AKeyHeldWhileADeviceIsChosenFromTheMenuEndsOnTheDeviceItWasStruckOn)
{
    StandInForm f({ "Port A" });
    f.form.keyDown(keyOn(us, 0));
    f.form.modalLoopBegan();
    f.form.device_Click(1);
    f.form.modalLoopEnded();
    f.form.keyUp(keyOn(us, 0));
    using Sent = std::pair<int, uint32_t>;
    std::vector<Sent> sent;
    for (const auto& m : f.recording->messages)
        sent.push_back({ m.deviceId, m.value });
    EXPECT_EQ(sent, (std::vector<Sent> { { -1, on(48) }, { -1, off(48) } }));
}

namespace {

// What a user does, and what the window reports of it: a key goes down or
// up (unseen while another window is active, or, on Windows, while a loop of
// the platform's has the keyboard), the layout switches, the activation goes
// and comes back, a menu opens, a device or channel is chosen in it, it
// closes, the demo plays (the activation lost during it, or not).
struct Step {
    enum Kind { Down, Up, Switch, Deactivate, Activate, LoopBegins, Device, Channel, LoopEnds, Demo } kind;
    int arg = 0;
};

std::ostream& operator<<(std::ostream& out, const Step& s)
{
    const char* names[] = { "down", "up", "layout", "deactivate", "activate", "loop begins", "device",
        "channel", "loop ends", "demo" };
    out << names[s.kind];
    if (s.kind == Step::Down || s.kind == Step::Up)
        out << ' ' << keys[static_cast<size_t>(s.arg)].name;
    else if (s.kind != Step::Deactivate && s.kind != Step::Activate && s.kind != Step::LoopBegins
        && s.kind != Step::LoopEnds)
        out << ' ' << s.arg;
    return out;
}

std::set<int> notesTheTuneLeavesSounding()
{
    std::set<int> notes;
    for (const DemoStep& step : DemoTune)
        step.action == DemoAction::Strike ? (void)notes.insert(step.key + 48)
                                          : (void)notes.erase(step.key + 48);
    return notes;
}

struct KeyboardRun {
    explicit KeyboardRun(bool loopsShowKeys)
        : loopsShowKeys(loopsShowKeys)
    {
    }

    bool seen() const { return active && (!inLoop || loopsShowKeys); }
    ComputerKey key(int i) const { return keyOn(layout, static_cast<size_t>(i)); }

    // A step that can come next.
    Step next(std::mt19937& random) const
    {
        std::vector<Step::Kind> kinds { Step::Switch, active ? Step::Deactivate : Step::Activate };
        if (down.size() < keys.size())
            kinds.push_back(Step::Down);
        if (!down.empty())
            kinds.push_back(Step::Up);
        if (inLoop)
            kinds.insert(kinds.end(), { Step::Device, Step::Channel, Step::LoopEnds });
        else if (active)
            kinds.insert(kinds.end(), { Step::LoopBegins, Step::Demo });
        const auto pick = [&](int n) { return std::uniform_int_distribution(0, n - 1)(random); };
        const Step::Kind kind = kinds[static_cast<size_t>(pick(static_cast<int>(kinds.size())))];
        std::vector<int> keysThere;
        for (int i = 0; i < static_cast<int>(keys.size()); ++i)
            if (down.count(i) == (kind == Step::Up))
                keysThere.push_back(i);
        switch (kind) {
        case Step::Down:
        case Step::Up:
            return { kind, keysThere[static_cast<size_t>(pick(static_cast<int>(keysThere.size())))] };
        case Step::Switch:
            return { kind, pick(5) };
        case Step::Device:
            return { kind, pick(3) };
        case Step::Channel:
            return { kind, pick(6) };
        case Step::Demo:
            return { kind, pick(2) };
        default:
            return { kind };
        }
    }

    void take(const Step& s)
    {
        switch (s.kind) {
        case Step::Down:
            down.insert(s.arg);
            if (seen())
                f.form.keyDown(key(s.arg));
            break;
        case Step::Up:
            down.erase(s.arg);
            if (seen())
                f.form.keyUp(key(s.arg));
            break;
        case Step::Switch:
            layout = static_cast<Layout>(s.arg);
            break;
        case Step::Deactivate:
            active = false;
            f.form.Form_Deactivate();
            break;
        case Step::Activate:
            active = true;
            break;
        case Step::LoopBegins:
            inLoop = true;
            f.form.modalLoopBegan();
            break;
        case Step::Device:
            f.form.device_Click(static_cast<int16_t>(s.arg));
            break;
        case Step::Channel:
            f.form.chan_Click(static_cast<int16_t>(s.arg));
            break;
        case Step::LoopEnds:
            inLoop = false;
            f.form.modalLoopEnded();
            break;
        case Step::Demo:
            // Lost during the tune, the activation takes the held keys' notes at once.
            if (s.arg)
                f.view.duringTune = [this] {
                    active = false;
                    f.form.Form_Deactivate();
                    for (const auto& note : f.recording->sounding())
                        if (std::get<2>(note) != 57 && !tuneEnds.count(note)) // 57: the tune's first
                            fault += "sounding after the loss: " + std::to_string(std::get<2>(note)) + "; ";
                };
            f.form.Command2_Click();
            for (int note : notesTheTuneLeavesSounding())
                tuneEnds.insert({ f.form.deviceId, f.form.channel, note });
            break;
        }
    }

    // Once every key is up nothing sounds, and the next press of each key plays.
    std::string faultAtTheEnd()
    {
        for (int i : std::set(down))
            take({ Step::Up, i });
        for (const auto& note : f.recording->sounding())
            if (!tuneEnds.count(note))
                fault += "left sounding: note " + std::to_string(std::get<2>(note)) + " on device "
                    + std::to_string(std::get<0>(note)) + "; ";
        if (inLoop)
            take({ Step::LoopEnds });
        f.recording->clear();
        Values expected;
        for (int i = 0; i < static_cast<int>(keys.size()); ++i) {
            f.form.keyDown(keyOn(us, static_cast<size_t>(i)));
            f.form.keyUp(keyOn(us, static_cast<size_t>(i)));
            const int note = std::array { 48, 50, 60, 72, 72, 60, 55 }[static_cast<size_t>(i)];
            expected.insert(expected.end(), { on(note, f.form.channel), off(note, f.form.channel) });
        }
        if (f.values() != expected)
            fault += "the next presses did not play each key once";
        return fault;
    }

    StandInForm f { { "Port A", "Port B" } };
    bool loopsShowKeys;
    std::set<int> down;
    bool active = true;
    bool inLoop = false;
    Layout layout = us;
    std::set<std::tuple<int, int, int>> tuneEnds;
    std::string fault;
};

} // namespace

TEST(Form1, WhateverTheUserDoesNoKeysNoteSoundsOnOnceEveryKeyIsUp)
{
    std::mt19937 random(41);
    // Shorter sequences first, so that the first one that fails is among the shortest.
    for (int length = 1; length <= 24; ++length)
        for (int run = 0; run < 160; ++run) {
            KeyboardRun keyboard(run % 2 == 0);
            std::vector<Step> steps;
            for (int i = 0; i < length; ++i) {
                steps.push_back(keyboard.next(random));
                keyboard.take(steps.back());
            }
            const std::string fault = keyboard.faultAtTheEnd();
            if (!fault.empty()) {
                std::ostringstream sequence;
                for (const Step& s : steps)
                    sequence << s << ", ";
                FAIL() << (keyboard.loopsShowKeys ? "keys seen in loops: " : "keys unseen in loops: ")
                       << sequence.str() << "then every key up: " << fault;
            }
        }
}
