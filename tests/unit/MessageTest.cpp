#include <gtest/gtest.h>

#include "RecordingOutput.h"
#include "midi/MidiMessage.h"
#include "midi/MidiPort.h"

using midi::bytesOf;

TEST(Message, NoteValuesAtTheEdges)
{
    EXPECT_EQ(midi::noteOfKey(0), 48);
    EXPECT_EQ(midi::noteOfKey(37), 85);

    EXPECT_EQ(bytesOf(midi::noteOnValue(60, 0, 127)), (std::array<uint8_t, 3> { 0x90, 60, 127 }));
    EXPECT_EQ(bytesOf(midi::noteOffValue(60, 0)), (std::array<uint8_t, 3> { 0x80, 60, 0 }));
    EXPECT_EQ(midi::noteOnValue(64, 0, 127), 127u * 65536 + 64 * 256 + 144);

    EXPECT_EQ(bytesOf(midi::noteOnValue(85, 5, 1))[0], 0x95);
    EXPECT_EQ(bytesOf(midi::noteOffValue(85, 5))[0], 0x85);
}

TEST(Message, VelocityZeroStaysANoteOn)
{
    EXPECT_EQ(bytesOf(midi::noteOnValue(48, 0, 0)), (std::array<uint8_t, 3> { 0x90, 48, 0 }));
    EXPECT_EQ(midi::noteOnValue(48, 0, 0) >> 24, 0u);
}

TEST(MidiPortHandles, OneOutputAtATimeAndStaleHandlesAreRefused)
{
    auto recording = std::make_shared<Recording>();
    MidiPort port(std::make_unique<RecordingProvider>(recording, std::vector<std::string> { "a", "b" }));

    int32_t first = 0;
    ASSERT_EQ(port.open(-1, first), 0);
    EXPECT_NE(first, 0);
    int32_t second = 0;
    ASSERT_EQ(port.open(1, second), 0);
    EXPECT_NE(second, first);
    EXPECT_EQ(recording->opens - recording->closes, 1);

    EXPECT_NE(port.send(first, 0x90), 0);
    EXPECT_NE(port.send(0, 0x90), 0);
    EXPECT_EQ(port.send(second, 0x90), 0);
    ASSERT_EQ(recording->messages.size(), 1u);
    EXPECT_EQ(recording->messages[0].deviceId, 1);

    EXPECT_EQ(port.close(second), 0);
    EXPECT_NE(port.close(second), 0);
    EXPECT_NE(port.send(second, 0x90), 0);
    EXPECT_FALSE(port.isOpen());

    int32_t handle = 0;
    EXPECT_NE(port.open(7, handle), 0);
    EXPECT_EQ(port.deviceCount(), 2);
    EXPECT_EQ(port.deviceName(1), "b");
    EXPECT_EQ(port.deviceName(2), "");
}
