// The Windows build under Wine: its MIDI code and its window against the
// recording stand-in for winmm.dll and against Wine's own winmm, and its
// installer. What the window must show and play comes from the same tables
// and helpers as the Linux program's tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "Desktop.h"
#include "KeyPicture.h"
#include "RecordingOutput.h"
#include "WaitUntil.h"
#include "WineDesktop.h"
#include "WinmmStandIn.h"
#include "XWindows.h"
#include "demo/DemoTune.h"
#include "midi/MidiMessage.h"
#include "window/Controls.h"
#include "window/KeyGrid.h"
#include "window/KeyMap.h"
#include "window/qt/TwipsPixels.h"

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

    static std::string nameOf(unsigned long window)
    {
        return runCommand(
            { "xdotool", "getwindowname", std::to_string(window) }, 10s, { "DISPLAY=" + wine->x().display() })
            .output;
    }

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

using Values = std::vector<uint32_t>;

// tonvelo.exe beside the stand-in, its window shown and asked to be active.
struct Keyboard {
    Keyboard(const WineDesktop& wine, const std::vector<std::string>& devices)
        : standIn(devices)
        , program(wine.start({ windowsTests + "/tonvelo.exe" }, standIn.environment()))
        , window(program->waitForMainWindow(30s))
        , desktop(*program, window)
    {
        if (!window)
            return;
        // On a busy machine the window manager may be slow to say so; the
        // picture tells where everything is, active or not.
        desktop.xdotool({ "windowactivate", "--sync", std::to_string(window) });
        picture = program->settledPicture(window, 10s);
    }
    bool shown() const { return window && !picture.isNull(); }
    ~Keyboard()
    {
        if (window && program->process().running())
            xwindows::close(program->display(), window);
        program->process().wait(10s);
    }

    // xdotool's arguments that point at `rect` of the client area, at the
    // window's scale: a white key's point lies below the black keys.
    std::vector<std::string> pointAt(const TwipsRect& rect, bool whiteKey = false) const
    {
        const QRect r = inPicture(rect);
        const int y = whiteKey ? r.bottom() - 8 : r.center().y();
        return { "mousemove", "--window", std::to_string(window), std::to_string(r.center().x()),
            std::to_string(y) };
    }
    QRect inPicture(const TwipsRect& rect) const
    {
        const double scale = double(picture.width()) / twipsToPixels(controls::client.width);
        const QPoint client(0, picture.height() - twipsToPixels(controls::client.height, scale));
        return toPixels(rect, scale).translated(client);
    }
    std::vector<std::string> pointAtKey(int index) const
    {
        const KeyInfo& key = keyGrid[static_cast<size_t>(index)];
        return pointAt(key.rect, key.kind == KeyKind::White);
    }
    bool xdotool(std::vector<std::vector<std::string>> commands) const
    {
        std::vector<std::string> args;
        for (auto& command : commands)
            args.insert(args.end(), command.begin(), command.end());
        return desktop.xdotool(args);
    }

    // The note messages the stand-in saw, with their times, once `count` came.
    std::vector<WinmmStandIn::Call> notes(size_t count, std::chrono::milliseconds timeout = 10s) const
    {
        std::vector<WinmmStandIn::Call> found;
        waitUntil(
            [&] {
                found.clear();
                for (auto& call : standIn.calls())
                    if (call.text.starts_with("midiOutShortMsg"))
                        found.push_back(call);
                return found.size() >= count;
            },
            timeout);
        return found;
    }
    Values values(size_t count, std::chrono::milliseconds timeout = 10s) const
    {
        Values result;
        for (const auto& call : notes(count, timeout))
            result.push_back(static_cast<uint32_t>(std::stoul(call.text.substr(call.text.rfind(' ') + 1))));
        return result;
    }

    WinmmStandIn standIn;
    std::unique_ptr<ProgramOnX> program;
    unsigned long window;
    Desktop desktop;
    QImage picture;
};

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

TEST_F(UnderWine, WithNoMidiMapperTheProgramSaysItCannotOpenTheOutputBeforeTheWindowShows)
{
    // Wine's own winmm, on a machine with no ALSA sequencer, has no device at all.
    auto program = wine->start({ TONVELO_WINDOWS_BUILD "/tonvelo.exe" });
    // The box has no owner window: it is the one the program shows first.
    const auto box = program->waitForMainWindow(30s);
    ASSERT_NE(box, 0u) << "no window showed";
    // No title of its own: Windows' default one.
    EXPECT_EQ(nameOf(box), "Error\n");
    const QImage picture = program->settledPicture(box, 10s);
    fs::create_directories(TONVELO_SCREENSHOT_DIR);
    picture.save(TONVELO_SCREENSHOT_DIR "/windows-failed-open.png");
    ASSERT_TRUE(
        Desktop(*program, box).xdotool({ "windowactivate", "--sync", std::to_string(box), "key", "Return" }));
    const auto window = program->waitForMainWindow(30s);
    ASSERT_NE(window, 0u) << "OK did not show the window";
    EXPECT_EQ(nameOf(window), "Tonvelo\n");
    xwindows::close(wine->x().display(), window);
    EXPECT_TRUE(program->process().wait(10s)) << "closing did not end it";
}

TEST_F(UnderWine, TheKeysCoverTheirTwipsRectanglesInTheirColours)
{
    const Keyboard keyboard(*wine, { "Synth A" });
    ASSERT_TRUE(keyboard.shown()) << "no window showed";
    fs::create_directories(TONVELO_SCREENSHOT_DIR);
    keyboard.picture.save(TONVELO_SCREENSHOT_DIR "/windows-keyboard.png");
    EXPECT_EQ(keyRectangleFaults(keyboard.picture, 1), std::vector<std::string> {});
}

TEST_F(UnderWine, EveryMouseButtonPlaysAndTheReleaseComesToThePressedKeyWhereverItIs)
{
    const Keyboard keyboard(*wine, {});
    ASSERT_TRUE(keyboard.shown()) << "no window showed";
    // Black key 1 where it covers white key 0, released off the window; the
    // right button on key 0; the last key. Held, key 1 looks pushed in.
    ASSERT_TRUE(keyboard.xdotool({ keyboard.pointAt(keyGrid[1].rect), { "mousedown", "1" } }));
    const QRect key1 = keyboard.inPicture(keyGrid[1].rect);
    const auto faceOfKey1 = [&] {
        return keyboard.program->settledPicture(keyboard.window, 10s)
            .pixelColor(key1.center().x(), key1.top() + 10);
    };
    const QColor pushed = faceOfKey1();
    EXPECT_TRUE(pushed.red() < 255 && pushed.green() < 224 && pushed.blue() < 192)
        << pushed.name().toStdString();
    ASSERT_TRUE(keyboard.xdotool({ { "mousemove", "2", "2", "mouseup", "1" }, keyboard.pointAtKey(0),
        { "click", "3" }, keyboard.pointAtKey(37), { "click", "1" } }));
    EXPECT_EQ(faceOfKey1(), QColor(255, 224, 192));
    EXPECT_EQ(keyboard.values(6), (Values { on(49), off(49), on(48), off(48), on(85), off(85) }));
}

TEST_F(UnderWine, EachComputerKeyPlaysItsNoteOnceHoweverOftenItRepeats)
{
    const Keyboard keyboard(*wine, {});
    ASSERT_TRUE(keyboard.shown()) << "no window showed";
    // The keys that carry these on a US layout.
    const std::map<int16_t, std::string> punctuation { { vk::semicolon, "semicolon" }, { vk::comma, "comma" },
        { vk::period, "period" }, { vk::slash, "slash" } };
    std::vector<std::string> keys { "key" };
    Values expected;
    for (const auto& binding : KeyMap) {
        const auto named = punctuation.find(binding.keyCode);
        keys.push_back(
            named != punctuation.end() ? named->second : std::string(1, char(binding.keyCode + 32)));
        const int note = midi::noteOfKey(binding.keyIndex);
        expected.insert(expected.end(), { on(note), off(note) });
    }
    // Unmapped keys in between play nothing; a key pressed again while down is the platform's repeat.
    keys.insert(keys.end(), { "g", "h", "t", "y", "b", "n" });
    ASSERT_TRUE(keyboard.xdotool({ keys, { "keydown", "z", "keydown", "z", "keydown", "z", "keyup", "z" } }));
    expected.insert(expected.end(), { on(48), off(48) });
    EXPECT_EQ(keyboard.values(expected.size()), expected);
    EXPECT_EQ(keyboard.values(expected.size() + 1, 500ms).size(), expected.size());
    // The key last played has the focus and shows it; nothing else changed.
    const auto faults = keyRectangleFaults(keyboard.program->settledPicture(keyboard.window, 10s), 1);
    EXPECT_FALSE(faults.empty());
    for (const auto& fault : faults)
        EXPECT_TRUE(fault.starts_with("face of key 0 ")) << fault;
}

TEST_F(UnderWine, AKeyReleasedInAMenuEndsItsNoteThereAndItsNextPressPlaysAtOnce)
{
    const Keyboard keyboard(*wine, {});
    ASSERT_TRUE(keyboard.shown()) << "no window showed";
    // Held while the menu bar opens by F10, by Alt and by a click on its first
    // title, released there; the menu closed, the key is pressed again.
    const QRect client = keyboard.inPicture(controls::client);
    const std::vector<std::string> onFirstTitle { "mousemove", "--window", std::to_string(keyboard.window),
        "20", std::to_string(client.top() / 2), "click", "1" };
    ASSERT_TRUE(
        keyboard.xdotool({ { "keydown", "z", "key", "F10", "keyup", "z", "key", "Escape", "key", "z" },
            { "keydown", "x", "key", "alt", "keyup", "x", "key", "Escape", "key", "x" }, { "keydown", "c" },
            onFirstTitle, { "keyup", "c", "key", "Escape", "Escape", "c" } }));
    const Values expected { on(48), off(48), on(48), off(48), on(50), off(50), on(50), off(50), on(52),
        off(52), on(52), off(52) };
    EXPECT_EQ(keyboard.values(expected.size()), expected);
    EXPECT_EQ(keyboard.values(expected.size() + 1, 500ms).size(), expected.size());
}

TEST_F(UnderWine, TheDeviceMenuListsTheStandInsDevicesAndAChoiceClosesThenOpens)
{
    // winmm gives at most 32 bytes of a name: the long one never needs shortening here.
    const Keyboard keyboard(*wine, { "A&B Synth", std::string(40, 'a') + std::string(40, 'z') });
    ASSERT_TRUE(keyboard.shown()) << "no window showed";
    // Alt opens the menu bar, as Windows does (F10 too, below): "MIDI Mapper", "A&B Synth", the long
    // one. "b" chooses nothing: the '&' is no shortcut marker.
    ASSERT_TRUE(keyboard.xdotool({ { "key", "alt", "Down", "b", "Down", "Down", "Return", "z" } }));
    keyboard.notes(2);
    EXPECT_EQ(seenBy(keyboard.standIn),
        (std::vector<std::string> { "midiOutGetNumDevs 2", "midiOutGetDevCapsA 0 0 52",
            "midiOutGetDevCapsA 0 1 52", "midiOutOpen 0 -1 257 0", "midiOutClose 0 257",
            "midiOutOpen 0 1 258 0", "midiOutShortMsg 0 258 1 " + std::to_string(on(48)),
            "midiOutShortMsg 0 258 1 " + std::to_string(off(48)) }));
}

TEST_F(UnderWine, OnlyAFailedOpenIsToldAndOnceAVanishedDeviceFallsSilent)
{
    // "Synth A" vanishes after one note; "Refuses" never opens.
    const Keyboard keyboard(*wine, { "Synth A~2", "!Refuses" });
    ASSERT_TRUE(keyboard.shown()) << "no window showed";
    const auto boxesAfter = [&](std::vector<std::string> keys) {
        keys.insert(keys.begin(), "key");
        EXPECT_TRUE(
            keyboard.xdotool({ { "windowactivate", "--sync", std::to_string(keyboard.window) }, keys }));
        std::vector<unsigned long> boxes;
        waitUntil([&] { return !(boxes = keyboard.desktop.boxes()).empty(); }, 3s);
        for (unsigned long box : boxes) {
            EXPECT_EQ(nameOf(box), "Error\n");
            keyboard.xdotool({ { "windowactivate", "--sync", std::to_string(box), "key", "Return" } });
        }
        EXPECT_TRUE(waitUntil([&] { return keyboard.desktop.boxes().empty(); }, 10s)) << "a box stayed";
        return boxes.size();
    };
    // Its writes fail unseen; choosing it again, and "Refuses", fail to open and say so once.
    EXPECT_EQ(boxesAfter({ "alt", "Down", "Down", "Return", "z", "x" }), 0u);
    EXPECT_EQ(boxesAfter({ "alt", "Down", "Down", "Return", "z" }), 1u);
    EXPECT_EQ(boxesAfter({ "alt", "Down", "Down", "Down", "Return" }), 1u);
    EXPECT_EQ(boxesAfter({ "alt", "Down", "Return", "z" }), 0u);
    keyboard.notes(6);
    EXPECT_EQ(seenBy(keyboard.standIn),
        (std::vector<std::string> { "midiOutGetNumDevs 2", "midiOutGetDevCapsA 0 0 52",
            "midiOutGetDevCapsA 0 1 52", "midiOutOpen 0 -1 257 0", "midiOutClose 0 257",
            "midiOutOpen 0 0 258 0", "midiOutShortMsg 0 258 0 " + std::to_string(on(48)),
            "midiOutShortMsg 0 258 0 " + std::to_string(off(48)),
            "midiOutShortMsg 6 258 0 " + std::to_string(on(50)),
            "midiOutShortMsg 6 258 0 " + std::to_string(off(50)), "midiOutClose 0 258", "midiOutOpen 6 0 0 0",
            "midiOutOpen 4 1 0 0", "midiOutOpen 0 -1 259 0",
            "midiOutShortMsg 0 259 -1 " + std::to_string(on(48)),
            "midiOutShortMsg 0 259 -1 " + std::to_string(off(48)) }));
}

TEST_F(UnderWine, TheChannelMenuAndTheVelocityBarSetWhatTheNotesCarry)
{
    const Keyboard keyboard(*wine, {});
    ASSERT_TRUE(keyboard.shown()) << "no window showed";
    // Channel entry "6"; then the bar, which has the focus: two small steps and a large one down.
    ASSERT_TRUE(keyboard.xdotool({ { "key", "F10", "Right", "Down", "Down", "Down", "Down", "Down", "Down",
        "Return", "Down", "Down", "Next", "z" } }));
    EXPECT_EQ(keyboard.values(2), (Values { on(48, 5, 115), off(48, 5) }));
}

TEST_F(UnderWine, TheDemoKeepsItsTimesAndHandlesInputThatCameMeanwhileAfterIt)
{
    const Keyboard keyboard(*wine, {});
    ASSERT_TRUE(keyboard.shown()) << "no window showed";
    ASSERT_TRUE(keyboard.xdotool({ keyboard.pointAt(controls::Command2.rect), { "click", "1" } }));
    ASSERT_FALSE(keyboard.notes(1).empty()) << "the tune did not start";
    // A key, a click and channel entry "2" chosen with F10, then the key
    // again; last a key still held when the tune ends.
    ASSERT_TRUE(keyboard.xdotool({ { "key", "z" }, keyboard.pointAtKey(5),
        { "click", "1", "key", "F10", "Right", "Down", "Down", "Return", "z", "keydown", "x" } }));
    ASSERT_EQ(keyboard.notes(DemoTune.size() + 7, 100s).size(), DemoTune.size() + 7);
    ASSERT_TRUE(keyboard.xdotool({ { "keyup", "x" } }));

    const auto notes = keyboard.notes(DemoTune.size() + 8);
    Values expected;
    for (const auto& step : DemoTune) {
        const int note = midi::noteOfKey(step.key);
        expected.push_back(step.action == DemoAction::Strike ? on(note) : off(note));
    }
    expected.insert(
        expected.end(), { on(48), off(48), on(53), off(53), on(48, 1), off(48, 1), on(50, 1), off(50, 1) });
    EXPECT_EQ(keyboard.values(expected.size()), expected);
    ASSERT_GE(notes.size(), DemoTune.size());
    // Each step at the tune's start plus the pauses before it: lateness
    // never adds up. A busy machine may wake the program late now and then,
    // but never for long and never for the rest of the tune. The start is
    // where the most punctual step puts it.
    std::vector<long long> late;
    long long due = 0;
    for (size_t i = 0; i < DemoTune.size(); ++i) {
        late.push_back(notes[i].micros - due);
        due += DemoTune[i].pause * 1000LL;
    }
    const long long start = *std::min_element(late.begin(), late.end());
    for (auto& l : late)
        l -= start;
    const auto lateOnes = std::count_if(late.begin(), late.end(), [](long long l) { return l > 40000; });
    EXPECT_LE(lateOnes, 3) << "steps late by more than 40 ms";
    EXPECT_LT(*std::max_element(late.begin(), late.end()), 500000) << "a step came much too late";
    // Drift would make every step at the end late.
    EXPECT_LT(*std::min_element(late.end() - 10, late.end()), 40000) << "the tune drifted";
    const auto latest = std::max_element(late.begin(), late.end());
    std::cout << "latest: step " << latest - late.begin() + 1 << ", " << *latest << " µs after its time; "
              << lateOnes << " over 40 ms\n";
    // The input held meanwhile comes after the last pause.
    ASSERT_GT(notes.size(), DemoTune.size());
    EXPECT_GE(notes[DemoTune.size()].micros, start + due);
}

TEST_F(UnderWine, ClosingTheWindowDuringTheDemoEndsTheProgramAtOnce)
{
    Keyboard keyboard(*wine, {});
    ASSERT_TRUE(keyboard.shown()) << "no window showed";
    ASSERT_TRUE(keyboard.xdotool({ keyboard.pointAt(controls::Command2.rect), { "click", "1" } }));
    ASSERT_FALSE(keyboard.notes(1).empty()) << "the tune did not start";
    const auto asked = std::chrono::steady_clock::now();
    xwindows::close(keyboard.program->display(), keyboard.window);
    ASSERT_TRUE(keyboard.program->process().wait(5s)) << "the program did not end";
    std::cout << "ended "
              << std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now() - asked)
                     .count()
              << " ms after the close\n";
    EXPECT_EQ(keyboard.standIn.calls().back().text, "midiOutClose 0 257");
}

TEST_F(UnderWine, AtTwiceTheDpiTheWindowGrowsAsFarAsTheScreenHoldsIt)
{
    // Under Wine 10 (Debian 13) the window keeps its 96 dpi size with this
    // value set: the scaling is measured where Wine applies it.
    const auto version = runCommand({ "wine", "--version" }, std::chrono::seconds(30)).output;
    if (version.find("wine-8.") == std::string::npos)
        GTEST_SKIP() << "this Wine does not apply the DPI set as Wine 8 does: " << version;
    // Wine's screen DPI for the programs started meanwhile.
    struct Dpi {
        Dpi(const WineDesktop& wine, int dpi)
            : wine(wine)
        {
            set(dpi);
        }
        ~Dpi() { set(96); }
        void set(int dpi) const
        {
            wine.run({ "reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                "/d", std::to_string(dpi), "/f" });
        }
        const WineDesktop& wine;
    };
    const Dpi dpi(*wine, 192);
    const Keyboard keyboard(*wine, {});
    ASSERT_TRUE(keyboard.shown()) << "no window showed";
    // Twice its size would not fit the 1280x1024 screen: it shows whole, larger than at 96 dpi.
    const QRect placed = xwindows::geometry(wine->x().display(), keyboard.window);
    EXPECT_TRUE(QRect(0, 0, 1280, 1024).contains(placed)) << placed.y() << " " << placed.height();
    EXPECT_GT(placed.width(), toPixels(controls::client).width() * 5 / 4);
    // The keys are where the scale puts them: the last one plays.
    ASSERT_TRUE(keyboard.xdotool({ keyboard.pointAtKey(37), { "click", "1" } }));
    EXPECT_EQ(keyboard.values(2), (Values { on(85), off(85) }));
}

// Windows 7 SP1 lacks these, and a build like ours could import them: the per-monitor DPI
// functions of user32 (Windows 10) and shcore (8.1); the precise clock, WaitOnAddress and thread
// names (8, 10) that newer MinGW runtimes use; the UCRT's DLLs (on 7 only by an update).
TEST_F(UnderWine, TheProgramImportsNothingThatWindows7Sp1Lacks)
{
    const auto imports = runCommand({ "x86_64-w64-mingw32-objdump", "-p", windowsTests + "/tonvelo.exe" });
    ASSERT_NE(imports.output.find(" CreateWindowExW\n"), std::string::npos) << imports.output;
    for (const char* name : { "GetDpiForWindow", "GetDpiForSystem", "AdjustWindowRectExForDpi",
             "SystemParametersInfoForDpi", "GetSystemMetricsForDpi", "SetThreadDpiAwarenessContext",
             "SetProcessDpiAwarenessContext", "EnableNonClientDpiScaling", "GetDpiForMonitor",
             "SetProcessDpiAwareness", "GetSystemTimePreciseAsFileTime", "WaitOnAddress",
             "WakeByAddressSingle", "WakeByAddressAll", "SetThreadDescription", "GetThreadDescription",
             "ucrtbase.dll", "api-ms-win-crt-runtime-l1-1-0.dll" })
        EXPECT_EQ(imports.output.find(std::string(" ") + name + "\n"), std::string::npos) << name;
}

TEST_F(UnderWine, TheInstallerRefusesWindowsBefore7Sp1AndInstallsAndUninstallsSilently)
{
    const fs::path programs = wine->driveC() + "/Program Files/Tonvelo";
    const fs::path menu = wine->driveC() + "/ProgramData/Microsoft/Windows/Start Menu/Programs/Tonvelo.lnk";
    // Told it runs on Windows Vista, it installs nothing (an uninstall may leave the folder behind).
    const std::string version
        = "HKCU\\Software\\Wine\\AppDefaults\\" + fs::path(TONVELO_INSTALLER).filename().string();
    wine->run({ "reg", "add", version, "/v", "Version", "/d", "vista", "/f" });
    fs::remove_all(programs);
    const auto refused = wine->run({ TONVELO_INSTALLER, "/S" }, 120s);
    wine->run({ "reg", "delete", version, "/f" });
    EXPECT_EQ(refused.exitCode, 2) << refused.output;
    EXPECT_FALSE(fs::exists(programs));
    const auto install = wine->run({ TONVELO_INSTALLER, "/S" }, 120s);
    ASSERT_EQ(install.exitCode, 0) << install.output;
    EXPECT_TRUE(fs::exists(programs / "tonvelo.exe"));
    EXPECT_EQ(fs::file_size(programs / "tonvelo.exe"), fs::file_size(TONVELO_WINDOWS_BUILD "/tonvelo.exe"));
    EXPECT_TRUE(fs::exists(menu));

    // The uninstaller hands over to a copy of itself, which removes it too;
    // under Wine that copy now and then outlives any wait, so only the
    // hand-over is checked here.
    const auto uninstall = wine->run({ "C:\\Program Files\\Tonvelo\\uninstall.exe", "/S" }, 120s);
    ASSERT_EQ(uninstall.exitCode, 0) << uninstall.output;
}

} // namespace
