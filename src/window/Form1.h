#pragma once

#include <array>
#include <cstdint>

#include "demo/DemoPlayer.h"
#include "window/ChoiceMenu.h"
#include "window/ComputerKey.h"
#include "window/HeldKeys.h"
#include "window/Instrument.h"
#include "window/KeyPresses.h"

class DemoHost;
class FormView;
class MidiPort;

// The keyboard window's state and handlers, for every toolkit. The toolkit's
// window makes the controls, turns its events into calls of the handlers
// below and shows what they tell it through FormView.
class Form1 {
    // First, so that the names below that stand for their state can refer to it.
    Instrument instrument_;
    HeldKeys computerKeys_;

public:
    static constexpr int16_t deviceEntries = 11; // "MIDI Mapper" and up to 10 ports
    static constexpr int16_t channelEntries = 6;
    static constexpr const char* failedOpenMessage = "不能打开midi输出！";

    Form1(MidiPort& port, FormView& view, DemoHost& demoHost);

    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Start-up: fills the device menu and opens the output; a failed open is
    // reported before the window shows.
    void Form_Load();
    // Closes the output; notes that sound are left sounding.
    void Form_Unload() { instrument_.close(); }

    void NoteOn(int16_t keyIndex) { instrument_.NoteOn(keyIndex); }
    void NoteOff(int16_t keyIndex) { instrument_.NoteOff(keyIndex); }
    void SelectDevice(int32_t newId);

    // Any mouse button plays; the release comes to the key that was pressed.
    void Command1_MouseDown(int16_t index) { NoteOn(index); }
    void Command1_MouseUp(int16_t index) { NoteOff(index); }

    // Computer-keyboard play by key code.
    void Form_KeyDown(int16_t keyCode, int16_t shift);
    void Form_KeyUp(int16_t keyCode, int16_t shift);

    // What every window reports of the keyboard: each real press and release
    // (the platform's repeats dropped where they enter), before the focused
    // control sees the key.
    void keyDown(const ComputerKey& key);
    void keyUp(const ComputerKey& key);
    // The window lost the activation, or a loop of the platform's own took
    // the keyboard (a menu, a move or resize, a message box): a key released
    // where the window cannot see it would otherwise sound on and swallow
    // its next press, so every held key ends now, on the device and channel
    // it was struck on.
    void Form_Deactivate();
    void modalLoopBegan();
    void modalLoopEnded();

    void device_Click(int16_t index);
    void chan_Click(int16_t index);
    void vol_Change();
    // The demo button: plays DemoTune.
    void Command2_Click();

    // The instrument's state under the names the handlers use.
    int32_t& deviceId = instrument_.deviceId;
    int32_t& hMidiOut = instrument_.hMidiOut;
    int16_t& channel = instrument_.channel;
    int16_t& velocity = instrument_.velocity;
    // Slot s of KeyMap is heldKeys[s - 1]: its key code while the key is held, else 0.
    std::array<int16_t, KeyMap.size()>& heldKeys = computerKeys_.codes;

    const ChoiceMenu& midi_devices() const { return devices_; }
    const ChoiceMenu& channeloption() const { return channels_; }
    const HeldKeys& computerKeys() const { return computerKeys_; }
    DemoPlayer& demoPlayer() { return demo_; }

private:
    // Tells key `keyIndex` whether a computer key holds it.
    void showHeld(int16_t keyIndex);
    void releaseHeldKeys();

    MidiPort& port_;
    FormView& view_;
    ChoiceMenu devices_;
    ChoiceMenu channels_;
    DemoPlayer demo_;
    KeyPresses presses_;
    int modalLoops_ = 0;
};
