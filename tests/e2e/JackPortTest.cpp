#include <gtest/gtest.h>

#include "JackCapture.h"
#include "JackServer.h"
#include "SystemForm.h"
#include "midi/MidiMessage.h"
#include "midi/MidiPort.h"

using Bytes = std::vector<std::vector<uint8_t>>;

TEST(JackPort, NotesArriveAtACaptureClientByteForByte)
{
    JackServer server(256, 48000, JackServer::Mode::Synchronous);
    ASSERT_TRUE(server.running()) << "jackd did not start";
    JackCapture capture("capture");
    ASSERT_TRUE(capture.ok());

    MidiPort port(std::make_unique<SystemOutputs>());
    int device = -1;
    for (int i = 0; i < port.deviceCount(); ++i)
        if (port.deviceName(i) == capture.portName())
            device = i;
    ASSERT_GE(device, 0) << "capture port not listed";

    int32_t handle = 0;
    ASSERT_EQ(port.open(device, handle), 0);
    EXPECT_EQ(port.send(handle, midi::noteOnValue(60, 0, 127)), 0);
    EXPECT_EQ(port.send(handle, midi::noteOffValue(60, 0)), 0);
    ASSERT_TRUE(capture.waitFor(2));
    EXPECT_EQ(capture.bytes(), (Bytes { { 0x90, 60, 127 }, { 0x80, 60, 0 } }));
    EXPECT_EQ(server.clientsNamed("Tonvelo"), 1);
    EXPECT_EQ(port.close(handle), 0);
}

TEST(JackPort, APortThatVanishedDoesNotOpen)
{
    JackServer server;
    ASSERT_TRUE(server.running());
    auto capture = std::make_unique<JackCapture>("leaving");
    ASSERT_TRUE(capture->ok());
    MidiPort port(std::make_unique<SystemOutputs>(SoundfontSearch::system(), jackPortsOnly));
    ASSERT_EQ(port.deviceCount(), 1);
    capture.reset();

    int32_t handle = 0;
    EXPECT_NE(port.open(0, handle), 0);
    EXPECT_FALSE(port.isOpen());
}

TEST(JackPort, WithoutAnyServerTheListIsEmptyAndNothingIsPrinted)
{
    setenv("JACK_DEFAULT_SERVER", "tonvelo-no-such-server", 1);
    testing::internal::CaptureStderr();
    {
        MidiPort port(std::make_unique<SystemOutputs>(SoundfontSearch::system(), jackPortsOnly));
        EXPECT_EQ(port.deviceCount(), 0);
        int32_t handle = 0;
        EXPECT_NE(port.open(0, handle), 0);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    unsetenv("JACK_DEFAULT_SERVER");
}
