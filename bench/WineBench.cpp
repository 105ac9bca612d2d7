// The Windows program under Wine beside the Linux one, in one run on one
// private display (Xvfb with openbox, as the Wine tests have it), the two
// taking turns: the start until the window maps, private memory and idle CPU;
// the time from a real X key press to the MIDI message it sends; and the
// sizes of the exe and of its installer. The exe plays into the
// tests' stand-in for winmm.dll, whose MIDI Mapper opens at once (Wine's own
// winmm finds no device here and would show the failed-open box first); the
// Linux program's synth plays into a private JACK server on the dummy
// backend. Prints rows of a markdown table: | figure | value | goal |.

#include <time.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <thread>

#include "JackServer.h"
#include "WindowFigures.h"

#ifdef TONVELO_WINDOWS_BUILD
#include <X11/keysym.h>

#include "FakeKeys.h"
#include "ProgramOnX.h"
#include "WaitUntil.h"
#include "WineDesktop.h"
#include "WinmmStandIn.h"
#endif

namespace {

using namespace std::chrono_literals;

constexpr int fullRounds = 3; // start-up, memory and 10 s of idle CPU
constexpr int startupRounds = 6; // further start-ups only
constexpr int keyPresses = 200;

#ifdef TONVELO_WINDOWS_BUILD
// Wine's QueryPerformanceCounter, by which the stand-in stamps each call,
// reads this clock.
long long rawMicros()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC_RAW, &now);
    return now.tv_sec * 1000000LL + now.tv_nsec / 1000;
}

// Milliseconds from each press of Z, sent through XTEST, to the note-on's
// midiOutShortMsg at the stand-in; a press whose note-on or note-off does not
// come within 2 s counts as lost.
std::vector<double> keyToShortMsg(const WineDesktop& wine, const WinmmStandIn& standIn, int& lost)
{
    std::vector<double> millis;
    const auto program
        = wine.start({ TONVELO_WINDOWS_BUILD "/tests/win32/tonvelo.exe" }, standIn.environment());
    const unsigned long window = program->waitForMainWindow(30s);
    FakeKeys keys(wine.x().display());
    if (!window || !keys.ok()
        || runCommand({ "xdotool", "windowactivate", "--sync", std::to_string(window) }, 10s,
               { "DISPLAY=" + wine.x().display() })
                .exitCode
            != 0) {
        lost = keyPresses;
        return millis;
    }
    std::this_thread::sleep_for(1s);
    std::vector<long long> sent;
    const auto messagesAfter = [&](size_t count) {
        std::vector<long long> stamps;
        waitUntil(
            [&] {
                stamps.clear();
                for (const auto& call : standIn.calls())
                    if (call.text.starts_with("midiOutShortMsg"))
                        stamps.push_back(call.micros);
                return stamps.size() >= count;
            },
            2s);
        return stamps;
    };
    for (int i = 0; i < keyPresses; ++i) {
        const size_t before = messagesAfter(0).size();
        const long long pressed = rawMicros();
        keys.send(XK_z, true);
        const auto on = messagesAfter(before + 1);
        std::this_thread::sleep_for(30ms);
        keys.send(XK_z, false);
        const bool released = messagesAfter(before + 2).size() == before + 2;
        if (on.size() == before + 1 && released)
            millis.push_back(double(on[before] - pressed) / 1000);
        else
            ++lost;
        std::this_thread::sleep_for(20ms);
    }
    return millis;
}
#endif

} // namespace

int main()
{
#ifndef TONVELO_WINDOWS_BUILD
    row("tonvelo.exe under Wine", "skipped: this build has no MinGW-w64, Wine, NSIS or icoutils", "");
    return 0;
#else
    const WineDesktop wine(TONVELO_WINE_PREFIX);
    JackServer jack(64, 48000);
    if (!wine.ready() || !jack.running()) {
        std::cerr << "wine_bench: " << (wine.ready() ? "jackd did not start" : wine.failure()) << "\n";
        row("tonvelo.exe under Wine", "failed (see stderr)", "");
        return 1;
    }
    const std::string said
        = runCommand({ "wine", "--version" }, std::chrono::seconds(30), wine.environment()).output;
    const size_t at = said.find("wine-");
    const std::string version
        = at == std::string::npos ? "Wine" : said.substr(at, said.find_first_of(" \n", at) - at);
    const WinmmStandIn standIn({});

    Program exe { "tonvelo.exe", { "wine", TONVELO_WINDOWS_BUILD "/tests/win32/tonvelo.exe" } };
    exe.helper = wine.serverPid();
    const Environment exeEnv = wine.environment(standIn.environment());
    Program forLinux { "Tonvelo for Linux", { TONVELO_BINARY } };
    const Environment forLinuxEnv { "DISPLAY=" + wine.x().display(), "JACK_DEFAULT_SERVER=" + jack.name(),
        "QT_QPA_PLATFORM=xcb", "WAYLAND_DISPLAY", "PULSE_SERVER=unix:/nonexistent" };

    // Once each, untimed, so both meet warm file caches.
    runOnce(exe, wine.x(), exeEnv, false);
    runOnce(forLinux, wine.x(), forLinuxEnv, false);
    exe.startupMs.clear();
    forLinux.startupMs.clear();
    for (int round = 0; round < fullRounds + startupRounds; ++round) {
        std::cerr << "wine_bench: round " << round + 1 << " of " << fullRounds + startupRounds << "\n";
        const bool full = round < fullRounds;
        runOnce(round % 2 ? forLinux : exe, wine.x(), round % 2 ? forLinuxEnv : exeEnv, full);
        runOnce(round % 2 ? exe : forLinux, wine.x(), round % 2 ? exeEnv : forLinuxEnv, full);
    }
    if (exe.failed || forLinux.failed) {
        row("tonvelo.exe under Wine", "failed (see stderr)", "");
        return 1;
    }

    const std::string rounds = " (median of " + std::to_string(fullRounds + startupRounds) + ")";
    const std::string underWine = "tonvelo.exe under " + version;
    const std::string onJack = "Tonvelo for Linux (JACK dummy 64 frames @ 48 kHz)";
    const double exeStart = median(exe.startupMs), forLinuxStart = median(forLinux.startupMs);
    row("start-up to window mapped under openbox, " + underWine + rounds, format(exeStart, 0, "ms"),
        "≤ 2000 ms: " + verdict(exeStart <= 2000));
    row("start-up to window mapped under openbox, " + onJack + rounds, format(forLinuxStart, 0, "ms"),
        "for comparison");
    row("private memory (dirty private pages), " + underWine, format(median(exe.privateMb), 1, "MB"), "");
    row("private memory (dirty private pages), " + onJack, format(median(forLinux.privateMb), 1, "MB"),
        "for comparison");
    const double exeCpu = median(exe.cpuPercent), forLinuxCpu = median(forLinux.cpuPercent);
    row("idle CPU over 10 s, " + underWine, format(exeCpu, 2, "% of a core"),
        "≤ 0.2 %: " + verdict(exeCpu <= 0.2));
    row("idle CPU over 10 s, Wine's server meanwhile", format(median(exe.helperCpuPercent), 2, "% of a core"),
        "for reference");
    row("idle CPU over 10 s, " + onJack, format(forLinuxCpu, 2, "% of a core"),
        "for comparison (window_bench: its JACK client's floor)");
    int lost = 0;
    const std::vector<double> keys = keyToShortMsg(wine, standIn, lost);
    const std::string pressed = std::to_string(keys.size()) + " presses"
        + (lost ? ", " + std::to_string(lost) + " of " + std::to_string(keyPresses) + " lost" : "");
    const std::string keyPath = "real X key press -> midiOutShortMsg at the stand-in winmm, " + underWine;
    if (keys.empty() || *std::min_element(keys.begin(), keys.end()) < 0) {
        row(keyPath, "failed: no press measured, or the clocks disagree", "");
        return 1;
    }
    row(keyPath + " (median, " + pressed + ")", format(median(keys), 2, "ms"),
        "for comparison with key_to_jack_bench's real X key press -> JACK MIDI");
    row(keyPath + " (p99, " + pressed + ")", format(percentile(keys, 0.99), 2, "ms"), "for reference");
    namespace fs = std::filesystem;
    const auto kib
        = [](const fs::path& file) { return format(double(fs::file_size(file)) / 1024, 0, "KiB"); };
    row("size of tonvelo.exe (stripped, static C++ runtime)", kib(TONVELO_WINDOWS_BUILD "/tonvelo.exe"), "");
    row("size of its installer, " + fs::path(TONVELO_INSTALLER).filename().string(), kib(TONVELO_INSTALLER),
        "");
    return 0;
#endif
}
