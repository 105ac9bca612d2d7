#include "window/Form1.h"

#include <algorithm>
#include <string>

#include "midi/MidiPort.h"
#include "window/FormView.h"

Form1::Form1(MidiPort& port, FormView& view, DemoHost& demoHost)
    : instrument_(port)
    , port_(port)
    , view_(view)
    , devices_(MenuName::midi_devices, "Midi设备", std::vector<std::string>(deviceEntries), view)
    , channels_(MenuName::channeloption, "通道", { "1", "2", "3", "4", "5", "6" }, view)
    , demo_(demoHost)
{
}

void Form1::Form_Load()
{
    devices_.show(0, "MIDI Mapper");
    const int count = std::min(port_.deviceCount(), deviceEntries - 1);
    for (int i = 0; i < count; ++i) {
        // A name shows up to its first NUL.
        std::string name = port_.deviceName(i);
        devices_.show(static_cast<int16_t>(i + 1), name.substr(0, name.find('\0')));
    }
    device_Click(0);

    chan_Click(0);

    velocity = 127;
    view_.setVolRange(127, 0);
    view_.setVolValue(velocity);

    heldKeys.fill(0);
}

void Form1::device_Click(int16_t index)
{
    devices_.setChecked(static_cast<int16_t>(deviceId + 1), false);
    devices_.setChecked(index, true);
    SelectDevice(index - 1);
}

void Form1::chan_Click(int16_t index)
{
    channels_.setChecked(channel, false);
    channel = index;
    channels_.setChecked(channel, true);
}

void Form1::vol_Change()
{
    velocity = view_.volValue();
}

void Form1::SelectDevice(int32_t newId)
{
    if (instrument_.open(newId))
        return;
    modalLoopBegan();
    view_.showMessage(failedOpenMessage);
    modalLoopEnded();
}

void Form1::Form_KeyDown(int16_t keyCode, int16_t)
{
    const KeyBinding* key = findKey(keyCode);
    if (!key || computerKeys_.holds(*key, keyCode))
        return; // a key that plays nothing, or the platform repeating a held key
    view_.focusKey(key->keyIndex);
    NoteOn(key->keyIndex);
    computerKeys_.hold(*key, keyCode);
    showHeld(key->keyIndex);
}

void Form1::Form_KeyUp(int16_t keyCode, int16_t)
{
    const KeyBinding* key = findKey(keyCode);
    if (!key)
        return;
    // Sent even when the slot shows no press: the press may have gone to another window.
    NoteOff(key->keyIndex);
    computerKeys_.release(*key);
    showHeld(key->keyIndex);
}

void Form1::keyDown(const ComputerKey& key)
{
    // While a loop of the platform's has the keyboard, the keys are its own.
    const bool plays = modalLoops_ == 0;
    const int16_t code = keyCodeOf(key);
    presses_.press(key.physical, code, plays);
    if (plays)
        Form_KeyDown(code, key.shift);
}

void Form1::keyUp(const ComputerKey& key)
{
    Form_KeyUp(presses_.release(key.physical, keyCodeOf(key)), key.shift);
}

void Form1::Form_Deactivate()
{
    // Keys pressed in input the tune holds back may come up elsewhere too.
    if (demo_.playing())
        demo_.noteActivationLost();
    releaseHeldKeys();
}

void Form1::modalLoopBegan()
{
    ++modalLoops_;
    releaseHeldKeys();
}

void Form1::modalLoopEnded()
{
    if (modalLoops_ > 0)
        --modalLoops_;
}

void Form1::releaseHeldKeys()
{
    presses_.silenceAll();
    for (const KeyBinding* key : computerKeys_.releaseAll()) {
        NoteOff(key->keyIndex);
        showHeld(key->keyIndex);
    }
}

void Form1::showHeld(int16_t keyIndex)
{
    view_.showHeldByKeys(keyIndex, computerKeys_.holdsKey(keyIndex));
}

void Form1::Command2_Click()
{
    const bool activationLost = demo_.play(DemoTune, [this](const DemoStep& step) {
        if (step.action == DemoAction::Strike)
            NoteOn(step.key);
        else
            NoteOff(step.key);
    });
    // The keys held back by the tune may have been released in another window.
    if (activationLost)
        releaseHeldKeys();
}
