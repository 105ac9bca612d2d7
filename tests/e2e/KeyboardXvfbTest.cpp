#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "Command.h"
#include "Desktop.h"
#include "DeviceMenuPlace.h"
#include "JackCapture.h"
#include "JackServer.h"
#include "ProgramOnX.h"
#include "WaitUntil.h"
#include "XvfbServer.h"

// After Qt's headers: Xlib's macros clash with Qt's names.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

using namespace std::chrono_literals;
using Bytes = std::vector<std::vector<uint8_t>>;

namespace {

// The real program on a private X server, playing into a JACK capture port
// chosen from its device menu.
class KeyboardOnX11 : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(x.running()) << "Xvfb did not start";
        ASSERT_TRUE(jack.running()) << "jackd did not start";
        ASSERT_TRUE(capture.ok());
        // Xvfb repeats a held key after 660 ms, 25 times a second.
        ASSERT_TRUE(run({ "xset", "r", "on" }));

        program = std::make_unique<ProgramOnX>(
            TONVELO_PROGRAM, x.display(), Environment { "JACK_DEFAULT_SERVER=" + jack.name() });
        window = program->waitForMainWindow(60s);
        ASSERT_NE(window, 0u) << "the keyboard window did not show";
        desktop = std::make_unique<Desktop>(*program, window);
        ASSERT_TRUE(desktop->xdotool({ "windowfocus", "--sync", std::to_string(window) }));

        // Device menu: "MIDI Mapper", then the ports, the capture client's among them.
        const DeviceMenuPlace place(capture.portName());
        ASSERT_GE(place.entry, 1) << "the capture port is not listed";
        ASSERT_TRUE(desktop->clickFirstTitle());
        const unsigned long menu = desktop->openMenu();
        ASSERT_NE(menu, 0u) << "no menu opened";
        ASSERT_TRUE(desktop->clickEntry(menu, place.entry, place.entries));
        ASSERT_TRUE(desktop->menuClosed());
        // JACK makes a new connection live a cycle or more after the program
        // made it; a note sent before that is lost on the way.
        jack_port_t* capturePort = jack_port_by_name(capture.client(), capture.portName().c_str());
        ASSERT_TRUE(waitUntil([&] { return jack_port_connected(capturePort) > 0; }, 10s))
            << "the program did not connect to the capture port";
    }

    bool run(std::vector<std::string> command) const
    {
        return runCommand(command, 10s, { "DISPLAY=" + x.display() }).exitCode == 0;
    }

    XvfbServer x;
    // Long periods: on a busy machine a client that misses a short one
    // loses the events of that cycle.
    JackServer jack { 1024 };
    JackCapture capture { "capture" };
    std::unique_ptr<ProgramOnX> program;
    unsigned long window = 0;
    std::unique_ptr<Desktop> desktop;
};

// A physical key by its X key code, through XTEST: unlike a key named by its
// symbol, it means whatever the layout of the moment makes of it.
class PhysicalKeys {
public:
    explicit PhysicalKeys(const std::string& display)
        : display_(XOpenDisplay(display.c_str()))
    {
    }
    ~PhysicalKeys()
    {
        if (display_)
            XCloseDisplay(display_);
    }
    PhysicalKeys(const PhysicalKeys&) = delete;
    PhysicalKeys& operator=(const PhysicalKeys&) = delete;

    bool ok() const { return display_ != nullptr; }
    void down(unsigned code) { send(code, true); }
    void up(unsigned code) { send(code, false); }
    void tap(unsigned code) { down(code), up(code); }

private:
    void send(unsigned code, bool press)
    {
        XTestFakeKeyEvent(display_, code, press ? True : False, CurrentTime);
        XSync(display_, False);
    }
    Display* display_;
};

// XKB key codes of the keys that carry these on a US layout.
constexpr unsigned keyA = 38, keyW = 25, keyZ = 52, capsLock = 66;

} // namespace

TEST_F(KeyboardOnX11, HeldAndShiftedKeysReachTheChosenPortByteForByte)
{
    ASSERT_TRUE(desktop->xdotool({ "key", "q" }));
    ASSERT_TRUE(capture.waitFor(2, 10s)) << "nothing reached the capture port";

    ASSERT_TRUE(desktop->xdotool({ "keydown", "z" }));
    std::this_thread::sleep_for(2s);
    ASSERT_TRUE(desktop->xdotool({ "keyup", "z" }));
    ASSERT_TRUE(desktop->xdotool({ "key", "shift+slash" }));

    // X held while channel "2" is chosen: the menu takes the keyboard, so the
    // note ends on the channel it was struck on, and its release there is the menu's.
    ASSERT_TRUE(desktop->xdotool({ "keydown", "x" }));
    ASSERT_TRUE(capture.waitFor(7, 10s)) << testing::PrintToString(capture.bytes());
    ASSERT_TRUE(desktop->clickFirstTitle());
    const unsigned long menu = desktop->openMenu();
    ASSERT_NE(menu, 0u) << "no menu opened";
    ASSERT_TRUE(desktop->xdotool({ "key", "Right" }));
    const unsigned long channels = desktop->openMenu(menu);
    ASSERT_NE(channels, 0u) << "the channel menu did not open";
    ASSERT_TRUE(desktop->clickEntry(channels, 1, 6));
    ASSERT_TRUE(desktop->menuClosed());
    ASSERT_TRUE(desktop->xdotool({ "keyup", "x" }));
    capture.waitFor(8, 10s);
    std::this_thread::sleep_for(300ms); // anything more would show by now

    const auto events = capture.events();
    EXPECT_EQ(capture.bytes(),
        (Bytes { { 0x90, 72, 127 }, { 0x80, 72, 0 }, { 0x90, 48, 127 }, { 0x80, 48, 0 }, { 0x90, 60, 127 },
            { 0x80, 60, 0 }, { 0x90, 50, 127 }, { 0x80, 50, 0 } }));
    // The note-off of Z came with the release, not with the first repeat.
    ASSERT_GE(events.size(), 4u);
    EXPECT_GT(events[3].cycleTime - events[2].cycleTime, 1800ms);
}

TEST_F(KeyboardOnX11, LayoutsAndLayoutSwitchesKeepEveryReleaseWithItsPress)
{
    PhysicalKeys keys(x.display());
    ASSERT_TRUE(keys.ok());
    ASSERT_TRUE(run({ "xset", "r", "off" }));

    // Caps Lock switches the layout while a key is held: Z becomes Y, A becomes Q.
    for (auto [layouts, key] : { std::pair { "us,de", keyZ }, std::pair { "us,fr", keyA } }) {
        ASSERT_TRUE(run({ "setxkbmap", "-layout", layouts, "-option", "", "-option", "grp:caps_toggle" }));
        keys.down(key);
        keys.tap(capsLock);
        keys.up(key);
        keys.tap(capsLock);
    }
    // Russian and Greek: the letter keys play as the US letters in their place.
    for (const char* layout : { "ru", "gr" }) {
        ASSERT_TRUE(run({ "setxkbmap", "-layout", layout, "-option", "" }));
        for (unsigned key : { keyZ, keyA, keyW })
            keys.tap(key);
    }
    capture.waitFor(16, 10s);
    std::this_thread::sleep_for(300ms); // anything more would show by now
    EXPECT_EQ(capture.bytes(),
        (Bytes { { 0x90, 48, 127 }, { 0x80, 48, 0 }, { 0x90, 60, 127 }, { 0x80, 60, 0 }, { 0x90, 48, 127 },
            { 0x80, 48, 0 }, { 0x90, 60, 127 }, { 0x80, 60, 0 }, { 0x90, 74, 127 }, { 0x80, 74, 0 },
            { 0x90, 48, 127 }, { 0x80, 48, 0 }, { 0x90, 60, 127 }, { 0x80, 60, 0 }, { 0x90, 74, 127 },
            { 0x80, 74, 0 } }));
}

TEST_F(KeyboardOnX11, UnderAWindowManagerF10RightDownReturnChoosesAChannelAndTheKeysPlayOn)
{
    RunningProgram openbox({ "openbox" }, { "DISPLAY=" + x.display() });
    // Desktops are counted once a window manager says it can.
    ASSERT_TRUE(waitUntil([&] { return desktop->xdotool({ "get_num_desktops" }); }, 10s))
        << "openbox did not start";
    ASSERT_TRUE(desktop->xdotool({ "windowactivate", "--sync", std::to_string(window) }));
    // The focus on a key, as after any note; openbox may still be moving it, so its note may be lost.
    ASSERT_TRUE(desktop->xdotool({ "key", "z" }));
    ASSERT_TRUE(desktop->xdotool({ "key", "F10" }));
    const unsigned long devices = desktop->openMenu();
    ASSERT_NE(devices, 0u) << "F10 opened no menu";
    ASSERT_TRUE(desktop->xdotool({ "key", "Right" }));
    ASSERT_NE(desktop->openMenu(devices), 0u) << "the channel menu did not open";
    ASSERT_TRUE(desktop->xdotool({ "key", "Down", "Return" }));
    ASSERT_TRUE(desktop->menuClosed());
    const size_t before = capture.bytes().size();
    ASSERT_TRUE(desktop->xdotool({ "key", "x" }));
    capture.waitFor(before + 2, 10s);
    std::this_thread::sleep_for(300ms); // anything more would show by now
    const Bytes bytes = capture.bytes();
    EXPECT_EQ(Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(before), bytes.end()),
        (Bytes { { 0x91, 50, 127 }, { 0x81, 50, 0 } }));
}
