// Start-up time, private memory and idle CPU of the keyboard beside a bare Qt
// window with the same controls, measured in one run on a private display,
// the programs taking turns. The keyboard's built-in synth loads the
// system's GM soundfont and plays into a private JACK server on the dummy
// backend, and in turns of its own into a private PipeWire through its own
// stream. Prints rows of a markdown table: | figure | value | goal |.

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "Command.h"
#include "JackServer.h"
#include "MapWatcher.h"
#include "PipeWireServer.h"
#include "XWindows.h"
#include "XvfbServer.h"

using namespace std::chrono_literals;

namespace {

constexpr int jackPeriod = 64;
constexpr int jackRate = 48000;
constexpr int fullRounds = 3; // start-up, memory and 10 s of idle CPU
constexpr int startupRounds = 12; // further start-ups only
constexpr auto settle = 2s; // after the window maps, before measuring
constexpr auto idleSpan = 10s;

struct Program {
    std::string label;
    std::string path;
    std::vector<double> startupMs, privateMb, cpuPercent;
    bool failed = false;
    // An idle synth's PipeWire stream stays in the graph 10 s after its last sound.
    std::chrono::seconds settle = std::chrono::duration_cast<std::chrono::seconds>(::settle);
};

// Resident memory that is the process's own: RSS less the pages it shares
// (a JACK client maps about 100 MB of the server's shared memory) and less
// the clean pages of files. Those are library code, which the kernel counts
// as private only while no other process maps the same library, so they
// would make the figure depend on what else runs on the machine.
double privateMegabytes(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
    double kb = 0;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string key;
        double value = 0;
        fields >> key >> value;
        if (key == "Private_Dirty:")
            kb += value;
    }
    return kb / 1024.0;
}

// CPU time of all the process's threads so far, in nanoseconds.
double cpuNanoseconds(pid_t pid)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    double total = 0;
    if (DIR* dir = opendir(tasks.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            std::ifstream in(tasks + "/" + entry->d_name + "/schedstat");
            double ns = 0;
            if (in >> ns)
                total += ns;
        }
        closedir(dir);
    }
    return total;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string format(double value, int decimals, const char* unit)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f %s", decimals, value, unit);
    return text;
}

void row(const std::string& figure, const std::string& value, const std::string& goal)
{
    std::cout << "| " << figure << " | " << value << " | " << goal << " |\n";
}

std::string verdict(bool met)
{
    return met ? "met" : "**missed**";
}

// One start of a program: until its window maps, then (in a full round) its
// memory and its CPU while it sits idle; then its window is closed.
void runOnce(Program& program, const XvfbServer& xvfb, const Environment& env, bool full, int retries = 2)
{
    MapWatcher watcher(xvfb.display());
    if (!watcher.ok()) {
        program.failed = true;
        return;
    }
    const auto start = MapWatcher::Clock::now();
    RunningProgram app({ program.path }, env);
    const auto mapped = watcher.waitForWindow("Tonvelo", start + 30s);
    const bool refused = app.output().find("could not connect to display") != std::string::npos
        || app.output().find("no display to show the window on") != std::string::npos;
    if (!mapped && refused && retries-- > 0) {
        // Xvfb here refuses about one connection in a thousand, whichever
        // program makes it; that start is tried again.
        std::cerr << program.label << ": the display refused the connection; once more\n";
        app.stop();
        runOnce(program, xvfb, env, full, retries);
        return;
    }
    if (!mapped || mapped->dialog) {
        std::cerr << program.label << ": "
                  << (mapped ? "showed a message box instead of its window" : "no window") << "\n"
                  << app.output();
        program.failed = true;
        return;
    }
    program.startupMs.push_back(std::chrono::duration<double, std::milli>(mapped->time - start).count());
    if (full) {
        std::this_thread::sleep_for(program.settle);
        program.privateMb.push_back(privateMegabytes(app.pid()));
        const double before = cpuNanoseconds(app.pid());
        const auto from = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(idleSpan);
        const double used = cpuNanoseconds(app.pid()) - before;
        const double span
            = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - from).count();
        program.cpuPercent.push_back(100.0 * used / span);
    }
    xwindows::close(xvfb.display(), mapped->window);
    if (!app.wait(10s)) {
        std::cerr << program.label << ": did not end when its window closed\n";
        program.failed = true;
    }
}

// CPU of JACK's own pass-through client over the idle span: what any client
// costs at this period, woken by the server every cycle, whatever it does.
double jackClientFloor(const Environment& env)
{
    RunningProgram thru({ "jack_thru" }, env);
    std::this_thread::sleep_for(settle);
    const double before = cpuNanoseconds(thru.pid());
    const auto from = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(idleSpan);
    const double used = cpuNanoseconds(thru.pid()) - before;
    const double span
        = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - from).count();
    return 100.0 * used / span;
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

    Program bare { "bare Qt window", BARE_WINDOW_BINARY, {}, {}, {} };
    Program keyboard { "Tonvelo", TONVELO_BINARY, {}, {}, {} };
    Program onPipeWire { "Tonvelo on PipeWire", TONVELO_BINARY, {}, {}, {} };
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
