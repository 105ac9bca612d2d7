// The Windows build under Wine: its MIDI code against the recording stand-in
// for winmm.dll and against Wine's own winmm, and its installer.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

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

    // The probe's report: "what id result" lines, by what and id.
    static std::multimap<std::string, std::pair<int, std::string>> report(const std::string& output)
    {
        std::multimap<std::string, std::pair<int, std::string>> lines;
        std::istringstream in(output);
        for (std::string what, rest; in >> what;) {
            int id = 0;
            in >> id;
            std::getline(in, rest);
            lines.emplace(what, std::make_pair(id, rest.empty() ? rest : rest.substr(1)));
        }
        return lines;
    }

    static WineDesktop* wine;
};

WineDesktop* UnderWine::wine = nullptr;

std::vector<std::string> values(
    const std::multimap<std::string, std::pair<int, std::string>>& report, const std::string& what, int id)
{
    std::vector<std::string> result;
    auto [from, to] = report.equal_range(what);
    for (auto it = from; it != to; ++it)
        if (it->second.first == id)
            result.push_back(it->second.second);
    return result;
}

TEST_F(UnderWine, DevicesOpenPlayAndFailAsWinmmSays)
{
    const std::string full = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    WinmmStandIn standIn({ "Synth A", "!Refuses", "Gerät~1", full });
    const auto probe
        = wine->run({ windowsTests + "/winmm_probe.exe", "-1", "0", "1", "2" }, 60s, standIn.environment());
    ASSERT_EQ(probe.exitCode, 0) << probe.output;
    const auto lines = report(probe.output);

    // Names come through the ANSI code page; one that fills the field ends with it.
    EXPECT_EQ(values(lines, "device", 0), std::vector<std::string> { "Synth A" });
    EXPECT_EQ(values(lines, "device", 1), std::vector<std::string> { "Refuses" });
    EXPECT_EQ(values(lines, "device", 2), std::vector<std::string> { "Gerät" });
    EXPECT_EQ(values(lines, "device", 3), std::vector<std::string> { full.substr(0, 32) });
    for (const auto& caps : standIn.calls("midiOutGetDevCapsA"))
        EXPECT_EQ(caps.args.at(1), 52) << "the record's size";

    // The MIDI Mapper is device -1; a refused open and a vanished device report non-zero.
    EXPECT_EQ(values(lines, "open", -1), std::vector<std::string> { "0" });
    EXPECT_EQ(values(lines, "open", 0), std::vector<std::string> { "0" });
    EXPECT_NE(values(lines, "open", 1), std::vector<std::string> { "0" });
    EXPECT_EQ(values(lines, "send", 2), (std::vector<std::string> { "0", "6" })) << "MMSYSERR_NODRIVER";

    const auto opens = standIn.calls("midiOutOpen");
    ASSERT_EQ(opens.size(), 4u);
    EXPECT_EQ(opens[0].args, (std::vector<long long> { -1, opens[0].args[1], 0 })) << "no callback, no flags";
    // Each port closed once, the refused one never; every message reached the port it was sent to.
    std::map<long long, int> closed;
    for (const auto& close : standIn.calls("midiOutClose"))
        ++closed[close.args[0]];
    const std::uint32_t note = midi::noteOfKey(12);
    std::vector<std::uint32_t> onMapper;
    for (const auto& message : standIn.calls("midiOutShortMsg"))
        if (message.args[1] == -1)
            onMapper.push_back(static_cast<std::uint32_t>(message.args[2]));
    EXPECT_EQ(onMapper,
        (std::vector<std::uint32_t> { midi::noteOnValue(note, 0, 127), midi::noteOffValue(note, 0) }));
    EXPECT_EQ(closed,
        (std::map<long long, int> {
            { opens[0].args[1], 1 }, { opens[1].args[1], 1 }, { opens[3].args[1], 1 } }));
    const auto calls = standIn.calls();
    for (size_t i = 1; i < calls.size(); ++i)
        EXPECT_LE(calls[i - 1].micros, calls[i].micros);
}

TEST_F(UnderWine, WinesOwnWinmmHasNoDeviceAndTheMapperDoesNotOpen)
{
    // This machine has no ALSA sequencer: Wine finds nothing to play on.
    const auto probe = wine->run({ windowsTests + "/winmm_probe.exe", "-1" });
    ASSERT_EQ(probe.exitCode, 0) << probe.output;
    const auto lines = report(probe.output);
    EXPECT_EQ(lines.count("device"), 0u) << probe.output;
    EXPECT_NE(values(lines, "open", -1), std::vector<std::string> { "0" });
}

TEST_F(UnderWine, WithNoMidiMapperTheProgramSaysItCannotOpenTheOutput)
{
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
    runCommand({ "xdotool", "key", "--window", std::to_string(window), "Return" }, 10s, onDisplay);
    EXPECT_TRUE(program->process().wait(10s)) << "OK did not end it";
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

    // _?= keeps the uninstaller in place, so that it ends only when it is done.
    const auto uninstall = wine->run(
        { "C:\\Program Files\\Tonvelo\\uninstall.exe", "/S", "_?=C:\\Program Files\\Tonvelo" }, 120s);
    ASSERT_EQ(uninstall.exitCode, 0) << uninstall.output;
    EXPECT_FALSE(fs::exists(programs / "tonvelo.exe"));
    EXPECT_FALSE(fs::exists(menu));
    // An uninstaller run in place cannot remove itself.
    fs::remove_all(programs);
}

} // namespace
