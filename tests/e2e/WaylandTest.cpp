#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <thread>

#include <QApplication>

#include "DeviceMenuPlace.h"
#include "JackCapture.h"
#include "JackServer.h"
#include "KeyPicture.h"
#include "SwayServer.h"
#include "WaitUntil.h"
#include "WaylandDesktop.h"
#include "window/qt/QtForm.h"

// The real program as a native client of a real Wayland compositor, played
// with real key and pointer events, as on a Wayland desktop.

using namespace std::chrono_literals;
using Bytes = std::vector<std::vector<uint8_t>>;
using View = SwayServer::View;

namespace {

const int windowWidth = toPixels(controls::client).width();

// A desktop where no sound server answers and no JACK server runs.
Environment withoutSound(Environment env)
{
    env.insert(env.end(),
        { "JACK_DEFAULT_SERVER=tonvelo-absent-" + std::to_string(getpid()), "PULSE_SERVER=unix:/nonexistent",
            "ALSA_CONFIG_PATH=/dev/null" });
    return env;
}

std::vector<View> viewsOf(const SwayServer& sway, pid_t pid)
{
    std::vector<View> result;
    for (const auto& view : sway.views())
        if (view.pid == pid)
            result.push_back(view);
    return result;
}

// The program's keyboard window, once it shows and stays in place.
std::optional<View> mainWindow(const SwayServer& sway, pid_t pid)
{
    std::optional<View> found;
    waitUntil(
        [&] {
            const auto last = found;
            found.reset();
            for (const auto& view : viewsOf(sway, pid))
                if (view.geometry.width() == windowWidth)
                    found = view;
            return found && last && found->geometry == last->geometry;
        },
        60s);
    return found;
}

// Whether a window of the program has the keyboard, or gets it soon.
bool hasKeyboard(const SwayServer& sway, pid_t pid)
{
    return waitUntil(
        [&] {
            const auto views = viewsOf(sway, pid);
            return std::any_of(views.begin(), views.end(), [](const View& v) { return v.focused; });
        },
        10s);
}

std::string joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines)
        text += line + "\n";
    return text;
}

// The window's picture once it shows every key where it belongs, drawn at
// the output's scale: the compositor shows the client's new buffers a frame
// or more after it drew them, and meanwhile enlarges the old ones; it may
// also still be placing the window.
std::pair<QImage, std::string> keyPicture(const SwayServer& sway, pid_t pid, int scale)
{
    QImage picture;
    std::string faults;
    waitUntil(
        [&] {
            const auto window = mainWindow(sway, pid);
            picture = window ? sway.picture(window->geometry) : QImage();
            if (!window || picture.size() != window->geometry.size() * scale)
                faults = "picture of the wrong size";
            else if (scale > 1 && detailedBlockShare(picture, labelArea(picture, scale)) < 0.3)
                faults = "the letters look enlarged";
            else
                faults = joined(keyRectangleFaults(picture, scale));
            return faults.empty();
        },
        20s);
    return { picture, faults };
}

} // namespace

TEST(Wayland, NativeWindowWithItsAppIdShowsTheBoxFirstAndItsKeysAtScaleOneAndTwo)
{
    SwayServer sway;
    ASSERT_TRUE(sway.running()) << "sway did not start";
    RunningProgram app({ TONVELO_PROGRAM }, withoutSound(sway.clientEnvironment()));

    // No output opens: the message box shows first, alone, and has the keyboard.
    std::vector<View> shown;
    ASSERT_TRUE(waitUntil([&] { return !(shown = viewsOf(sway, app.pid())).empty() || !app.running(); }, 60s))
        << "nothing showed";
    ASSERT_EQ(shown.size(), 1u) << app.output();
    EXPECT_EQ(shown[0].shell, "xdg_shell");
    EXPECT_EQ(shown[0].appId, TONVELO_APP_ID);
    EXPECT_LT(shown[0].geometry.width(), windowWidth) << "the first window is not the message box";
    ASSERT_TRUE(hasKeyboard(sway, app.pid()));

    // Dismissed, it gives way to the keyboard window, native and known by its id.
    ASSERT_TRUE(sway.xdotool({ "key", "Return" }));
    const auto window = mainWindow(sway, app.pid());
    ASSERT_TRUE(window) << app.output();
    EXPECT_EQ(viewsOf(sway, app.pid()).size(), 1u);
    EXPECT_EQ(window->shell, "xdg_shell");
    EXPECT_EQ(window->appId, TONVELO_APP_ID);

    const auto [picture, faults] = keyPicture(sway, app.pid(), 1);
    picture.save(QApplication::applicationDirPath() + QStringLiteral("/wayland.png"));
    EXPECT_EQ(faults, "");
    app.stop();

    // On a HiDPI output the window is drawn at twice the pixels, not enlarged.
    ASSERT_EQ(sway.swaymsg({ "output", "*", "scale", "2" }).exitCode, 0);
    RunningProgram hiDpi({ TONVELO_PROGRAM }, withoutSound(sway.clientEnvironment()));
    ASSERT_TRUE(waitUntil([&] { return !viewsOf(sway, hiDpi.pid()).empty(); }, 60s)) << hiDpi.output();
    ASSERT_TRUE(hasKeyboard(sway, hiDpi.pid()));
    ASSERT_TRUE(sway.xdotool({ "key", "Return" }));
    const auto big = mainWindow(sway, hiDpi.pid());
    ASSERT_TRUE(big) << hiDpi.output();
    EXPECT_EQ(big->geometry.size(), window->geometry.size());
    const auto [bigPicture, bigFaults] = keyPicture(sway, hiDpi.pid(), 2);
    bigPicture.save(QApplication::applicationDirPath() + QStringLiteral("/wayland@2x.png"));
    EXPECT_EQ(bigFaults, "");
}

TEST(Wayland, KeysMenusAndFocusReachTheChosenPortAsOnX11)
{
    SwayServer sway;
    ASSERT_TRUE(sway.running()) << "sway did not start";
    JackServer jack(1024);
    ASSERT_TRUE(jack.running()) << "jackd did not start";
    JackCapture capture("capture");
    ASSERT_TRUE(capture.ok());
    // As from a keyboard on a Wayland desktop, held keys reach sway once:
    // the client repeats them itself, at the rate sway tells it.
    ASSERT_EQ(runCommand({ "xset", "r", "off" }, 10s, { "DISPLAY=" + sway.xDisplay() }).exitCode, 0);

    Environment env = sway.clientEnvironment();
    env.push_back("JACK_DEFAULT_SERVER=" + jack.name());
    RunningProgram app({ TONVELO_PROGRAM }, env);
    const auto window = mainWindow(sway, app.pid());
    ASSERT_TRUE(window) << "the keyboard window did not show: " << app.output();
    ASSERT_TRUE(hasKeyboard(sway, app.pid()));

    // Device menu, with the pointer: "MIDI Mapper", then the ports, the capture client's among them.
    {
        const DeviceMenuPlace place(capture.portName());
        ASSERT_GE(place.entry, 1) << "the capture port is not listed";
        WaylandDesktop desktop(sway, *window);
        ASSERT_TRUE(desktop.clickFirstTitle());
        const QRect menu = desktop.openMenu();
        ASSERT_FALSE(menu.isEmpty()) << "no menu opened";
        ASSERT_TRUE(desktop.clickEntry(menu, place.entry, place.entries));
        ASSERT_TRUE(desktop.menuClosed());
    }
    jack_port_t* capturePort = jack_port_by_name(capture.client(), capture.portName().c_str());
    ASSERT_TRUE(waitUntil([&] { return jack_port_connected(capturePort) > 0; }, 10s))
        << "the program did not connect to the capture port";
    std::this_thread::sleep_for(100ms); // a new connection goes live a cycle or two later
    ASSERT_TRUE(sway.xdotool({ "key", "q" }));
    ASSERT_TRUE(capture.waitFor(2, 10s)) << "nothing reached the capture port";

    // Held for 2 s, well past sway's repeat delay of 600 ms.
    ASSERT_TRUE(sway.xdotool({ "keydown", "z" }));
    std::this_thread::sleep_for(2s);
    ASSERT_TRUE(sway.xdotool({ "keyup", "z" }));
    ASSERT_TRUE(sway.xdotool({ "key", "shift+slash" }));
    ASSERT_TRUE(capture.waitFor(6, 10s)) << testing::PrintToString(capture.bytes());

    // X held while another window takes the keyboard: the note ends then, not on release.
    ASSERT_TRUE(sway.xdotool({ "keydown", "x" }));
    ASSERT_TRUE(capture.waitFor(7, 10s));
    {
        RunningProgram other({ TONVELO_PROGRAM }, withoutSound(sway.clientEnvironment()));
        ASSERT_TRUE(waitUntil([&] { return !viewsOf(sway, other.pid()).empty(); }, 60s));
        ASSERT_TRUE(hasKeyboard(sway, other.pid())) << "the other window did not take the keyboard";
        EXPECT_TRUE(capture.waitFor(8, 10s)) << "the held key sounds on after the focus moved";
        ASSERT_TRUE(sway.xdotool({ "keyup", "x" }));
    }
    ASSERT_TRUE(hasKeyboard(sway, app.pid())) << "the keyboard did not come back";
    ASSERT_TRUE(sway.xdotool({ "key", "x" }));
    ASSERT_TRUE(capture.waitFor(10, 10s)) << "the next press of X did not play";

    // X held while channel "2" is chosen: the menu takes the keyboard, so the
    // note ends as it opens, on the channel it was struck on.
    ASSERT_TRUE(sway.xdotool({ "keydown", "x" }));
    ASSERT_TRUE(capture.waitFor(11, 10s));
    {
        WaylandDesktop desktop(sway, *window);
        ASSERT_TRUE(desktop.clickFirstTitle());
        const QRect devices = desktop.openMenu();
        ASSERT_FALSE(devices.isEmpty()) << "no menu opened";
        ASSERT_TRUE(sway.xdotool({ "key", "Right" }));
        QRect channels;
        ASSERT_TRUE(waitUntil([&] { return (channels = desktop.openMenu()) != devices; }, 10s))
            << "the channel menu did not open";
        ASSERT_TRUE(desktop.clickEntry(channels, 1, 6));
        ASSERT_TRUE(desktop.menuClosed());
    }
    ASSERT_TRUE(sway.xdotool({ "keyup", "x" }));
    capture.waitFor(12, 10s);
    std::this_thread::sleep_for(300ms); // anything more would show by now

    const auto events = capture.events();
    EXPECT_EQ(capture.bytes(),
        (Bytes { { 0x90, 72, 127 }, { 0x80, 72, 0 }, { 0x90, 48, 127 }, { 0x80, 48, 0 }, { 0x90, 60, 127 },
            { 0x80, 60, 0 }, { 0x90, 50, 127 }, { 0x80, 50, 0 }, { 0x90, 50, 127 }, { 0x80, 50, 0 },
            { 0x90, 50, 127 }, { 0x80, 50, 0 } }));
    // Z's note-off came with the release, not with the first repeat.
    ASSERT_GE(events.size(), 4u);
    EXPECT_GT(events[3].cycleTime - events[2].cycleTime, 1800ms);
}
