// Start-up time, private memory and idle CPU of the keyboard beside a bare Qt
// window with the same controls, measured in one run on a private display,
// the programs taking turns. The keyboard's built-in synth loads the
// system's GM soundfont and plays into a private JACK server on the dummy
// backend, and in turns of its own into a private PipeWire through its own
// stream. Prints rows of a markdown table: | figure | value | goal |.

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <thread>

#include "Command.h"
#include "JackServer.h"
#include "PipeWireServer.h"
#include "WindowFigures.h"
#include "XvfbServer.h"

using namespace std::chrono_literals;

namespace {

constexpr int jackPeriod = 64;
constexpr int jackRate = 48000;
constexpr int fullRounds = 3; // start-up, memory and 10 s of idle CPU
constexpr int startupRounds = 12; // further start-ups only
constexpr auto settle = 2s; // after the window maps, before measuring
constexpr auto idleSpan = 10s;

// CPU of JACK's own pass-through client over the idle span: what any client
// costs at this period, woken by the server every cycle, whatever it does.
double jackClientFloor(const Environment& env)
{
    RunningProgram thru({ "jack_thru" }, env);
    std::this_thread::sleep_for(settle);
    return cpuPercentOver({ thru.pid() }, idleSpan)[0];
}

// The synth opened alone, as the keyboard opens it but with no window: the
// keyboard's window waits for this, so it bounds the keyboard's start-up.
void openSynthOnce(std::vector<double>& readyMs, bool& failed, const Environment& env)
{
    const auto start = std::chrono::steady_clock::now();
    const CommandResult result = runCommand({ SYNTH_OPEN_BINARY }, 30s, env);
    long long readyUs = 0;
    if (result.exitCode != 0 || std::sscanf(result.output.c_str(), "%lld", &readyUs) != 1) {
        std::cerr << "synth_open: did not open the synth\n" << result.output;
        failed = true;
        return;
    }
    const auto ready = std::chrono::steady_clock::time_point(std::chrono::microseconds(readyUs));
    readyMs.push_back(std::chrono::duration<double, std::milli>(ready - start).count());
}

} // namespace

int main()
{
    XvfbServer xvfb;
    JackServer jack(jackPeriod, jackRate);
    PipeWireServer pipewire;
    if (!xvfb.running() || !jack.running() || !pipewire.running()) {
        std::cerr << "window_bench: Xvfb, jackd or PipeWire did not start\n";
        return 1;
    }
    const Environment env {
        "DISPLAY=" + xvfb.display(),
        "JACK_DEFAULT_SERVER=" + jack.name(),
        "QT_QPA_PLATFORM=xcb",
        "WAYLAND_DISPLAY",
        // The synth is to play through JACK here, even on a desktop.
        "PULSE_SERVER=unix:/nonexistent",
    };

    // No JACK server there: the synth plays through its own PipeWire stream,
    // which asks for a 64-frame quantum.
    Environment pipewireEnv = env;
    for (const auto& entry : pipewire.environment())
        pipewireEnv.push_back(entry);
    pipewireEnv.push_back("JACK_DEFAULT_SERVER=tonvelo-absent-" + std::to_string(getpid()));

    Program bare { "bare Qt window", { BARE_WINDOW_BINARY } };
    Program keyboard { "Tonvelo", { TONVELO_BINARY } };
    Program onPipeWire { "Tonvelo on PipeWire", { TONVELO_BINARY } };
    onPipeWire.settle = 12s;
    std::vector<double> synthMs;
    bool synthFailed = false;

    // Once each, untimed, so both meet warm file caches.
    runOnce(bare, xvfb, env, false);
    runOnce(keyboard, xvfb, env, false);
    runOnce(onPipeWire, xvfb, pipewireEnv, false);
    bare.startupMs.clear();
    keyboard.startupMs.clear();
    onPipeWire.startupMs.clear();

    for (int round = 0; round < fullRounds + startupRounds; ++round) {
        const bool full = round < fullRounds;
        std::cerr << "window_bench: round " << round + 1 << " of " << fullRounds + startupRounds << "\n";
        Program& first = round % 2 ? keyboard : bare;
        Program& second = round % 2 ? bare : keyboard;
        runOnce(first, xvfb, env, full);
        runOnce(second, xvfb, env, full);
        runOnce(onPipeWire, xvfb, pipewireEnv, full);
        openSynthOnce(synthMs, synthFailed, env);
    }
    if (bare.failed || keyboard.failed || onPipeWire.failed || synthFailed) {
        row("window benchmark", "failed (see stderr)", "");
        return 1;
    }

    const double bareStart = median(bare.startupMs), keyStart = median(keyboard.startupMs);
    const double bareMem = median(bare.privateMb), keyMem = median(keyboard.privateMb);
    const double bareCpu = median(bare.cpuPercent), keyCpu = median(keyboard.cpuPercent);
    const double pwStart = median(onPipeWire.startupMs), pwMem = median(onPipeWire.privateMb),
                 pwCpu = median(onPipeWire.cpuPercent);
    const double jackFloor = jackClientFloor(env);
    const std::string rounds = std::to_string(fullRounds + startupRounds);
    const std::string jackSetting = "JACK dummy " + std::to_string(jackPeriod) + " frames @ "
        + std::to_string(jackRate / 1000) + " kHz";

    row("start-up to window mapped, bare Qt window (median of " + rounds + ")", format(bareStart, 0, "ms"),
        "");
    row("start-up to window mapped, Tonvelo (median of " + rounds + ")", format(keyStart, 0, "ms"),
        "≤ 1.5 × bare = " + format(1.5 * bareStart, 0, "ms") + ": " + verdict(keyStart <= 1.5 * bareStart));
    row("start-up to window mapped, Tonvelo on PipeWire, its own stream (median of " + rounds + ")",
        format(pwStart, 0, "ms"),
        "≤ on JACK = " + format(keyStart, 0, "ms") + ": " + verdict(pwStart <= keyStart));
    row("built-in synth opened alone, no window (median of " + rounds + ")", format(median(synthMs), 0, "ms"),
        "the window shows once the synth is open");
    row("private memory (RSS less shared and clean file pages), bare Qt window", format(bareMem, 1, "MB"),
        "");
    row("private memory (RSS less shared and clean file pages), Tonvelo", format(keyMem, 1, "MB"),
        "≤ bare + 40 MB = " + format(bareMem + 40, 1, "MB") + ": " + verdict(keyMem <= bareMem + 40));
    row("private memory (RSS less shared and clean file pages), Tonvelo on PipeWire", format(pwMem, 1, "MB"),
        "≤ bare + 40 MB = " + format(bareMem + 40, 1, "MB") + ": " + verdict(pwMem <= bareMem + 40));
    row("idle CPU over 10 s, bare Qt window", format(bareCpu, 2, "% of a core"), "");
    row("idle CPU over 10 s, JACK's own pass-through client jack_thru (" + jackSetting + ")",
        format(jackFloor, 2, "% of a core"), "the floor of any JACK client at this period");
    row("idle CPU over 10 s, Tonvelo (reverb on, " + jackSetting + ")", format(keyCpu, 2, "% of a core"),
        "≤ 0.2 %: " + verdict(keyCpu <= 0.2));
    row("idle CPU over 10 s from 12 s after start-up, Tonvelo on PipeWire (reverb on, its own stream, "
        "64-frame quantum @ 48 kHz)",
        format(pwCpu, 2, "% of a core"), "≤ 0.2 %: " + verdict(pwCpu <= 0.2));
    return 0;
}
