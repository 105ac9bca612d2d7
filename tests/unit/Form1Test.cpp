#include <gtest/gtest.h>

#include "StandInForm.h"

// Form1 with no toolkit: what every window, Qt's or Win32's, gets from it.

using Values = std::vector<uint32_t>;

TEST(Form1, MouseAndComputerKeysPlayTheirNotesAndTellTheWindow)
{
    StandInForm f;
    f.form.Command1_MouseDown(37);
    f.form.Command1_MouseUp(37);
    for (int i = 0; i < 3; ++i)
        f.form.Form_KeyDown('Z', 0); // held: the platform repeats it
    EXPECT_EQ(f.view.focusedKey, 0);
    EXPECT_TRUE(f.view.heldByKeys[0]);
    f.form.Form_KeyUp('Z', 0);
    EXPECT_FALSE(f.view.heldByKeys[0]);

    f.form.chan_Click(5);
    f.view.vol = 100;
    f.form.vol_Change();
    f.form.Form_KeyDown('A', 0);
    f.form.Form_Deactivate();
    EXPECT_EQ(f.recording->values(), (Values { 0x7F5590, 0x5580, 0x7F3090, 0x3080, 0x643C95, 0x3C85 }));
    EXPECT_EQ(f.form.heldKeys[0], 0);
}

TEST(Form1, StartUpFillsTheMenusAndADeviceClickClosesThenOpens)
{
    StandInForm f({ "Port A", std::string("Port B\0junk", 11) }, { 0 });
    const auto entry = [&](MenuName menu, int i) { return f.view.entries[{ menu, i }]; };
    EXPECT_EQ(entry(MenuName::midi_devices, 0).caption, "MIDI Mapper");
    EXPECT_EQ(entry(MenuName::midi_devices, 2).caption, "Port B");
    EXPECT_TRUE(entry(MenuName::midi_devices, 2).visible && entry(MenuName::midi_devices, 2).enabled);
    EXPECT_FALSE(entry(MenuName::midi_devices, 3).visible);
    EXPECT_TRUE(entry(MenuName::midi_devices, 0).checked);
    EXPECT_TRUE(entry(MenuName::channeloption, 0).checked);
    EXPECT_EQ(std::tuple(f.view.volMin, f.view.volMax, f.view.vol), std::tuple(127, 0, 127));
    EXPECT_EQ(f.recording->opens, 1);

    f.form.device_Click(2);
    EXPECT_EQ(f.form.deviceId, 1);
    EXPECT_EQ(std::pair(f.recording->closes, f.recording->opens), std::pair(1, 2));
    f.form.Command1_MouseDown(0);
    EXPECT_EQ(f.recording->messages.at(0).deviceId, 1);
    EXPECT_FALSE(entry(MenuName::midi_devices, 0).checked);

    // A device that fails to open is reported and keeps the mark.
    f.form.device_Click(1);
    EXPECT_EQ(f.view.messages, std::vector<std::string> { "不能打开midi输出！" });
    EXPECT_TRUE(entry(MenuName::midi_devices, 1).checked);
    EXPECT_FALSE(entry(MenuName::midi_devices, 2).checked);
}

TEST(Form1, InputDuringTheTuneIsHandledAfterItAndACloseEndsIt)
{
    StandInForm f;
    f.view.arriving = { [&] { f.form.Form_KeyDown('Z', 0); }, [&] { f.form.Command2_Click(); } };
    f.form.Command2_Click();
    // The tune (first and last step A3 and A4), the key, then the tune again.
    const Values values = f.recording->values();
    ASSERT_EQ(values.size(), 169u * 2 + 1);
    EXPECT_EQ(values[0], 0x7F3990u);
    EXPECT_EQ(values[168], 0x7F4590u);
    EXPECT_EQ(values[169], 0x7F3090u);
    EXPECT_EQ(values[170], 0x7F3990u);

    f.recording->clear();
    f.view.arriving = { [&] { f.form.Form_KeyDown('X', 0); } };
    f.view.closing = true;
    f.form.Command2_Click();
    EXPECT_EQ(f.recording->values(), Values { 0x7F3990 });
    EXPECT_FALSE(f.view.shown);
}
