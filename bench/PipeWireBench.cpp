// Latency of the real program on a private PipeWire, as a desktop of today
// runs it (pipewire, wireplumber, pipewire-pulse, a null sink) with a
// 64-frame quantum: from a real key press to the first cycle that carries
// the synth's sound at its node. Once through the synth's own PipeWire
// stream, once through FluidSynth's PulseAudio driver and PipeWire's
// PulseAudio service, the path the program took before it had a stream of
// its own. The listener is a JACK client inside PipeWire (pw-jack).
// Prints rows of a markdown table: | figure | value | goal |.

#include <X11/keysym.h>
#include <jack/jack.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <random>
#include <thread>

#include "Desktop.h"
#include "FakeKeys.h"
#include "PipeWireServer.h"
#include "ProgramOnX.h"
#include "SoundOnset.h"
#include "WaitUntil.h"
#include "XWindows.h"
#include "XvfbServer.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int quantum = 64;
constexpr int rate = 48000;
constexpr double quantumMs = 1000.0 * quantum / rate;
constexpr int warmUpPresses = 10;
constexpr int nativePresses = 200;
constexpr int pulsePresses = 40;
constexpr int wakePresses = 20;
// Long enough for the synth to go idle and take its stream out of the graph.
constexpr auto idleRest = 2s;
constexpr auto held = 30ms;
// As in the JACK benchmark: a note's first cycle is faint, and the last
// note's reverb must have died away before the next press.
constexpr float quietLevel = 3e-5f;
constexpr float loudLevel = 1.5e-4f;
constexpr auto quietSpan = 50ms;

struct Run {
    std::vector<double> millis;
    int lost = 0;
    int xruns = 0;
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<size_t>(std::ceil(p * static_cast<double>(values.size())));
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

std::string format(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f ms", value);
    return text;
}

void row(const std::string& figure, const std::string& value, const std::string& goal)
{
    std::cout << "| " << figure << " | " << value << " | " << goal << " |\n";
}

// The synth's outputs at its node: every output but the sink's monitor.
std::vector<std::string> synthPorts(jack_client_t* client)
{
    std::vector<std::string> result;
    for (auto& name : audioOutputs(client))
        if (name.find(":monitor_") == std::string::npos)
            result.push_back(std::move(name));
    return result;
}

// The program started with `env`, pressed `presses` times once its sound is
// quiet (and `rest` more); the time from each press to the first cycle that sounds.
Run measure(const XvfbServer& xvfb, const Environment& env, int presses, std::chrono::milliseconds rest,
    std::string& failure)
{
    Run run;
    ProgramOnX program(TONVELO_BINARY, xvfb.display(), env);
    const unsigned long window = program.waitForMainWindow(60s);
    if (window == 0 || program.boxesAnswered() > 0) {
        failure = "the keyboard did not open its synth:\n" + program.process().output();
        return run;
    }
    Desktop desktop(program, window);
    SoundOnset listener("listener");
    std::vector<std::string> synth;
    waitUntil([&] { return (synth = synthPorts(listener.client())).size() >= 2; }, 10s);
    if (!listener.ok() || synth.size() != 2
        || !desktop.xdotool({ "windowfocus", "--sync", std::to_string(window) })) {
        failure = "could not listen to the synth's node";
        return run;
    }
    for (int i = 0; i < 2; ++i)
        jack_connect(listener.client(), synth[static_cast<size_t>(i)].c_str(), listener.portName(i).c_str());
    std::this_thread::sleep_for(200ms);

    FakeKeys keys(xvfb.display());
    std::mt19937 random(6);
    std::uniform_int_distribution<int> spread(0, 5000);
    const int xrunsBefore = listener.xruns();
    for (int i = 0; i < warmUpPresses + presses; ++i) {
        if (!listener.waitForSilence(quietLevel, quietSpan, 10s)) {
            failure = "the synth never fell silent";
            break;
        }
        std::this_thread::sleep_for(rest);
        listener.arm(loudLevel);
        std::this_thread::sleep_for(std::chrono::microseconds(spread(random)));
        const auto pressed = keys.send(XK_z, true);
        const auto onset = listener.waitForOnset(2s);
        std::this_thread::sleep_for(held);
        keys.send(XK_z, false);
        if (i < warmUpPresses)
            continue;
        if (onset && *onset >= pressed)
            run.millis.push_back(std::chrono::duration<double, std::milli>(*onset - pressed).count());
        else
            ++run.lost;
    }
    run.xruns = listener.xruns() - xrunsBefore;
    xwindows::close(xvfb.display(), window);
    program.process().wait(10s);
    return run;
}

std::string counted(const Run& run, int presses)
{
    return std::to_string(run.millis.size()) + " presses"
        + (run.lost ? ", " + std::to_string(run.lost) + " of " + std::to_string(presses) + " lost" : "");
}

int fail(const std::string& why)
{
    std::cerr << "pipewire_bench: " << why << "\n";
    row("real X key press -> PipeWire", "failed (see stderr)", "");
    return 1;
}

} // namespace

int main(int, char* argv[])
{
    // The listener needs PipeWire's JACK library, which pw-jack puts first.
    const char* libraries = std::getenv("LD_LIBRARY_PATH");
    if (!libraries || !std::strstr(libraries, "pipewire")) {
        execlp("pw-jack", "pw-jack", argv[0], nullptr);
        return fail("pw-jack did not run");
    }

    XvfbServer xvfb;
    if (!xvfb.running())
        return fail("Xvfb did not start");
    PipeWireServer pipewire;
    if (!pipewire.running())
        return fail("PipeWire did not start");
    Environment env = pipewire.environment();
    env.insert(env.end(),
        { "WAYLAND_DISPLAY", "LD_LIBRARY_PATH",
            "JACK_DEFAULT_SERVER=tonvelo-absent-" + std::to_string(getpid()) });
    std::string failure;
    std::cerr << "pipewire_bench: the synth's own stream, " << nativePresses << " presses\n";
    const Run native = measure(xvfb, env, nativePresses, 0ms, failure);
    if (!failure.empty())
        return fail(failure);
    std::cerr << "pipewire_bench: the synth's own stream after " << idleRest.count() << " s idle, "
              << wakePresses << " presses\n";
    const Run woken = measure(xvfb, env, wakePresses, idleRest, failure);
    if (!failure.empty())
        return fail(failure);

    // No native PipeWire for the program: its PulseAudio service only.
    Environment pulseEnv = env;
    pulseEnv.insert(pulseEnv.end(), { "PIPEWIRE_RUNTIME_DIR=/nonexistent", "XDG_RUNTIME_DIR=/nonexistent" });
    std::cerr << "pipewire_bench: FluidSynth's PulseAudio driver, " << pulsePresses << " presses\n";
    const Run pulse = measure(xvfb, pulseEnv, pulsePresses, 0ms, failure);
    if (!failure.empty())
        return fail(failure);

    const std::string setting
        = std::to_string(quantum) + "-frame quantum @ " + std::to_string(rate / 1000) + " kHz";
    const double nativeMedian = percentile(native.millis, 0.5), pulseMedian = percentile(pulse.millis, 0.5);
    const double goal = std::min(quantumMs + 0.5, pulseMedian / 10);
    const bool met = !native.millis.empty() && nativeMedian <= goal && native.lost == 0;
    row("PipeWire quantum, " + setting + " (floor of the latencies below)", format(quantumMs), "");
    row("real X key press -> first sounding cycle at the synth's PipeWire node, own stream (median, "
            + setting + ", " + counted(native, nativePresses) + ")",
        format(nativeMedian),
        "≤ 1 quantum + 0.5 ms and ≤ ⅒ of the PulseAudio path = " + format(goal) + ": "
            + (met ? "met" : "**missed**"));
    row("real X key press -> first sounding cycle at the synth's PipeWire node, own stream (p99, " + setting
            + ")",
        format(percentile(native.millis, 0.99)), "for reference");
    row("the same, first press after " + std::to_string(idleRest.count())
            + " s of silence, the idle stream back in the graph (median / p99, " + counted(woken, wakePresses)
            + ")",
        format(percentile(woken.millis, 0.5)) + " / " + format(percentile(woken.millis, 0.99)),
        "the price of no wake-ups while idle");
    row("real X key press -> first sounding cycle at the synth's node, FluidSynth's PulseAudio driver "
        "through "
        "PipeWire's PulseAudio service (median / p99, the quantum it asks for, "
            + counted(pulse, pulsePresses) + ")",
        format(pulseMedian) + " / " + format(percentile(pulse.millis, 0.99)),
        "the path before the own stream");
    row("xruns seen by the listener in PipeWire's graph, own stream / PulseAudio path",
        std::to_string(native.xruns) + " / " + std::to_string(pulse.xruns), "for reference");
    return 0;
}
