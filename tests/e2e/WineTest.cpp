// The Windows build under Wine: its MIDI code against the recording stand-in
// for winmm.dll and against Wine's own winmm, and its installer.
#include <gtest/gtest.h>

#include <filesystem>

#include "Desktop.h"
#include "WaitUntil.h"
#include "WineDesktop.h"
#include "WinmmStandIn.h"
#include "midi/MidiMessage.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

const std::string windowsTests = TONVELO_WINDOWS_BUILD "/tests/win32";

class UnderWine : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        wine = new WineDesktop(TONVELO_WINE_PREFIX);
        if (wine->prefixTime().count() > 0)
            std::cout << "Wine prefix made in " << wine->prefixTime().count() << " ms\n";
    }
    static void TearDownTestSuite()
    {
        delete wine;
        wine = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(wine->ready()) << wine->failure(); }

    static WineDesktop* wine;
};

WineDesktop* UnderWine::wine = nullptr;

// The stand-in's log without its times, which never go back.
std::vector<std::string> seenBy(const WinmmStandIn& standIn)
{
    std::vector<std::string> texts;
    long long before = 0;
    for (const auto& call : standIn.calls()) {
        texts.push_back(call.text);
        EXPECT_LE(before, call.micros);
        before = call.micros;
    }
    return texts;
}

TEST_F(UnderWine, DevicesOpenPlayAndFailAsWinmmSays)
{
    const std::string full = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    WinmmStandIn standIn({ "Synth A", "!Refuses", "Gerät~1", full });
    const auto probe
        = wine->run({ windowsTests + "/winmm_probe.exe", "-1", "1", "2" }, 60s, standIn.environment());
    // Names come through the ANSI code page; one that fills the field ends with
    // it. The MIDI Mapper is device -1; a refused open, and a write to a device
    // that vanished (MMSYSERR_NODRIVER), report non-zero.
    EXPECT_EQ(probe.output,
        "device 0 Synth A\ndevice 1 Refuses\ndevice 2 Gerät\ndevice 3 " + full.substr(0, 32) + "\n"
            + "open -1 0\nsend -1 0\nsend -1 0\nclose -1 0\n" + "open 1 1\nsend 1 1\nsend 1 1\nclose 1 1\n"
            + "open 2 0\nsend 2 0\nsend 2 6\nclose 2 0\n");

    // What winmm saw: the 52-byte record, opens with no callback and no flags,
    // nothing on a port that did not open, each open port closed once.
    const auto on = " " + std::to_string(midi::noteOnValue(60, 0, 127));
    const auto off = " " + std::to_string(midi::noteOffValue(60, 0));
    EXPECT_EQ(seenBy(standIn),
        (std::vector<std::string> { "midiOutGetNumDevs 4", "midiOutGetDevCapsA 0 0 52",
            "midiOutGetDevCapsA 0 1 52", "midiOutGetDevCapsA 0 2 52", "midiOutGetDevCapsA 0 3 52",
            "midiOutOpen 0 -1 257 0", "midiOutShortMsg 0 257 -1" + on, "midiOutShortMsg 0 257 -1" + off,
            "midiOutClose 0 257", "midiOutOpen 4 1 0 0", "midiOutOpen 0 2 258 0",
            "midiOutShortMsg 0 258 2" + on, "midiOutShortMsg 6 258 2" + off, "midiOutClose 0 258" }));
}

TEST_F(UnderWine, WithNoMidiMapperTheProgramSaysItCannotOpenTheOutput)
{
    // Wine's own winmm, on a machine with no ALSA sequencer, has no device at all.
    auto program = wine->start({ TONVELO_WINDOWS_BUILD "/tonvelo.exe" });
    // The box has no owner window: it is the one the program shows.
    const auto window = program->waitForMainWindow(30s);
    ASSERT_NE(window, 0u) << "no window showed";
    const Environment onDisplay { "DISPLAY=" + wine->x().display() };
    // No title of its own: Windows' default one.
    EXPECT_EQ(
        runCommand({ "xdotool", "getwindowname", std::to_string(window) }, 10s, onDisplay).output, "Error\n");
    const QImage box = program->settledPicture(window, 10s);
    fs::create_directories(TONVELO_SCREENSHOT_DIR);
    box.save(TONVELO_SCREENSHOT_DIR "/windows-failed-open.png");
    ASSERT_TRUE(Desktop(*program, window)
            .xdotool({ "windowactivate", "--sync", std::to_string(window), "key", "Return" }));
    EXPECT_TRUE(program->process().wait(10s)) << "OK did not end it";
}

TEST_F(UnderWine, TheProgramOpensTheMidiMapperThroughTheStandInAndClosesItAtTheEnd)
{
    WinmmStandIn standIn({ "Synth A" });
    auto program = wine->start({ windowsTests + "/tonvelo.exe" }, standIn.environment());
    const auto window = program->waitForMainWindow(30s);
    ASSERT_NE(window, 0u) << "no window showed";
    ASSERT_TRUE(Desktop(*program, window)
            .xdotool({ "windowactivate", "--sync", std::to_string(window), "key", "Return" }));
    ASSERT_TRUE(program->process().wait(10s)) << "OK did not end it";
    EXPECT_EQ(seenBy(standIn),
        (std::vector<std::string> { "midiOutOpen 0 -1 257 0", "midiOutGetNumDevs 1",
            "midiOutGetDevCapsA 0 0 52", "midiOutClose 0 257" }));
}

TEST_F(UnderWine, TheInstallerInstallsAndUninstallsSilently)
{
    const fs::path programs = wine->driveC() + "/Program Files/Tonvelo";
    const fs::path menu = wine->driveC() + "/ProgramData/Microsoft/Windows/Start Menu/Programs/Tonvelo.lnk";
    const auto install = wine->run({ TONVELO_INSTALLER, "/S" }, 120s);
    ASSERT_EQ(install.exitCode, 0) << install.output;
    EXPECT_TRUE(fs::exists(programs / "tonvelo.exe"));
    EXPECT_EQ(fs::file_size(programs / "tonvelo.exe"), fs::file_size(TONVELO_WINDOWS_BUILD "/tonvelo.exe"));
    EXPECT_TRUE(fs::exists(menu));

    // The uninstaller hands over to a copy of itself, which removes it too.
    const auto uninstall = wine->run({ "C:\\Program Files\\Tonvelo\\uninstall.exe", "/S" }, 120s);
    ASSERT_EQ(uninstall.exitCode, 0) << uninstall.output;
    EXPECT_TRUE(waitUntil([&] { return !fs::exists(programs) && !fs::exists(menu); }, 30s));
}

} // namespace
