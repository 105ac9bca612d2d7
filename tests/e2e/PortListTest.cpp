#include <gtest/gtest.h>

#include "JackCapture.h"
#include "JackServer.h"
#include "SystemForm.h"
#include "midi/MidiMessage.h"
#include "midi/MidiPort.h"

// The program lists the ports on another thread while its window is built;
// that list must be the one a later look gives, and open like it.
TEST(PortList, AListTakenInAdvanceNamesTheSamePortsAndTheyOpen)
{
    JackServer server;
    ASSERT_TRUE(server.running());
    JackCapture first("first"), second("second");
    ASSERT_TRUE(first.ok() && second.ok());

    auto prepared = std::make_unique<SystemOutputs>(SoundfontSearch::system(), jackPortsOnly);
    prepared->preparePorts();
    MidiPort port(std::move(prepared));
    MidiPort later(std::make_unique<SystemOutputs>(SoundfontSearch::system(), jackPortsOnly));

    ASSERT_EQ(port.deviceCount(), later.deviceCount());
    ASSERT_EQ(port.deviceCount(), 2);
    for (int i = 0; i < port.deviceCount(); ++i)
        EXPECT_EQ(port.deviceName(i), later.deviceName(i));
    EXPECT_EQ(port.deviceName(0), first.portName());
    EXPECT_EQ(port.deviceName(1), second.portName());

    int32_t handle = 0;
    ASSERT_EQ(port.open(1, handle), 0);
    EXPECT_EQ(port.send(handle, midi::noteOnValue(60, 0, 127)), 0);
    EXPECT_TRUE(second.waitFor(1));
    EXPECT_TRUE(first.events().empty());
}
