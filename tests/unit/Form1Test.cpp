#include <gtest/gtest.h>

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
