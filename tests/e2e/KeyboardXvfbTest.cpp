#include <gtest/gtest.h>

#include <thread>

#include "Command.h"
#include "Desktop.h"
#include "DeviceMenuPlace.h"
#include "JackCapture.h"
#include "JackServer.h"
#include "ProgramOnX.h"
#include "WaitUntil.h"
#include "XvfbServer.h"

using namespace std::chrono_literals;
using Bytes = std::vector<std::vector<uint8_t>>;

TEST(KeyboardOnX11, HeldAndShiftedKeysReachTheChosenPortByteForByte)
{
    XvfbServer x;
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    // Long periods: on a busy machine a client that misses a short one
    // loses the events of that cycle.
    JackServer jack(1024);
    ASSERT_TRUE(jack.running()) << "jackd did not start";
    JackCapture capture("capture");
    ASSERT_TRUE(capture.ok());
    // Xvfb repeats a held key after 660 ms, 25 times a second.
    ASSERT_EQ(runCommand({"xset", "r", "on"}, 10s, {"DISPLAY=" + x.display()}).exitCode, 0);

    ProgramOnX program(TONVELO_PROGRAM, x.display(), {"JACK_DEFAULT_SERVER=" + jack.name()});
    const unsigned long window = program.waitForMainWindow(60s);
    ASSERT_NE(window, 0u) << "the keyboard window did not show";
    Desktop desktop(program, window);
    ASSERT_TRUE(desktop.xdotool({"windowfocus", "--sync", std::to_string(window)}));

    // Device menu: "MIDI Mapper", then the ports, the capture client's among them.
    const DeviceMenuPlace place(capture.portName());
    ASSERT_GE(place.entry, 1) << "the capture port is not listed";
    ASSERT_TRUE(desktop.clickFirstTitle());
    unsigned long menu = desktop.openMenu();
    ASSERT_NE(menu, 0u) << "no menu opened";
    ASSERT_TRUE(desktop.clickEntry(menu, place.entry, place.entries));
    ASSERT_TRUE(desktop.menuClosed());
    // JACK makes a new connection live a cycle or more after the program
    // made it; a note sent before that is lost on the way.
    jack_port_t* capturePort = jack_port_by_name(capture.client(), capture.portName().c_str());
    ASSERT_TRUE(waitUntil([&] { return jack_port_connected(capturePort) > 0; }, 10s))
        << "the program did not connect to the capture port";
    ASSERT_TRUE(desktop.xdotool({"key", "q"}));
    ASSERT_TRUE(capture.waitFor(2, 10s)) << "nothing reached the capture port";

    ASSERT_TRUE(desktop.xdotool({"keydown", "z"}));
    std::this_thread::sleep_for(2s);
    ASSERT_TRUE(desktop.xdotool({"keyup", "z"}));
    ASSERT_TRUE(desktop.xdotool({"key", "shift+slash"}));

    // X held while channel "2" is chosen: the menu is no loss of activation,
    // and the note-off goes out on the channel of the moment.
    ASSERT_TRUE(desktop.xdotool({"keydown", "x"}));
    ASSERT_TRUE(capture.waitFor(7, 10s)) << testing::PrintToString(capture.bytes());
    ASSERT_TRUE(desktop.clickFirstTitle());
    menu = desktop.openMenu();
    ASSERT_NE(menu, 0u) << "no menu opened";
    ASSERT_TRUE(desktop.xdotool({"key", "Right"}));
    const unsigned long channels = desktop.openMenu(menu);
    ASSERT_NE(channels, 0u) << "the channel menu did not open";
    ASSERT_TRUE(desktop.clickEntry(channels, 1, 6));
    ASSERT_TRUE(desktop.menuClosed());
    ASSERT_TRUE(desktop.xdotool({"keyup", "x"}));
    capture.waitFor(8, 10s);
    std::this_thread::sleep_for(300ms); // anything more would show by now

    const auto events = capture.events();
    EXPECT_EQ(capture.bytes(), (Bytes{{0x90, 72, 127},
                                   {0x80, 72, 0},
                                   {0x90, 48, 127},
                                   {0x80, 48, 0},
                                   {0x90, 60, 127},
                                   {0x80, 60, 0},
                                   {0x90, 50, 127},
                                   {0x81, 50, 0}}));
    // The note-off of Z came with the release, not with the first repeat.
    ASSERT_GE(events.size(), 4u);
    EXPECT_GT(events[3].cycleTime - events[2].cycleTime, 1800ms);
}
