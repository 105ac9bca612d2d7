// Latency of the real program from a real key press on a private X display
// to a private JACK server at 64 frames / 48 kHz: to the event at a MIDI
// capture port chosen in the device menu, and to the first cycle that
// carries the built-in synth's sound. Each press leaves this process through
// XTEST; the latency ends when the receiving client's process cycle runs.
// A probe preloaded into the program shows where the time goes. The same
// presses to the capture port once more with the program a native client of
// a private sway, which takes them from its own X server.
// Prints rows of a markdown table: | figure | value | goal |.

#include <X11/keysym.h>
#include <jack/jack.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>
#include <random>
#include <thread>

#include "Desktop.h"
#include "DeviceMenuPlace.h"
#include "FakeKeys.h"
#include "JackCapture.h"
#include "JackServer.h"
#include "ProgramOnX.h"
#include "SoundOnset.h"
#include "StageLog.h"
#include "SwayServer.h"
#include "WaitUntil.h"
#include "WaylandDesktop.h"
#include "XvfbServer.h"
#include "window/qt/QtForm.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int jackPeriod = 64;
constexpr int jackRate = 48000;
constexpr double periodMs = 1000.0 * jackPeriod / jackRate;
constexpr int warmUpPresses = 10;
constexpr int midiPresses = 400;
constexpr int soundPresses = 200;
constexpr auto held = 30ms; // from a press to its release
// The synth ramps a new voice up over its first block, so a note's first
// cycle is faint: about -65 dBFS for Z at full velocity. It counts from
// -76 dBFS, once the last note's reverb has died below -90 dBFS (about
// 0.9 s after its release); the synth's own floor is near -160 dBFS.
constexpr float quietLevel = 3e-5f;
constexpr float loudLevel = 1.5e-4f;
constexpr auto quietSpan = 50ms;

// One press: when it left this process and when its note reached the JACK
// client, with the moments it passed inside the program where the probe saw them.
struct Press {
    Clock::time_point pressed, arrived;
    std::optional<Clock::time_point> read, handedOver;
};

struct Run {
    std::vector<Press> presses;
    int lost = 0;
};

double millis(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<size_t>(std::ceil(p * static_cast<double>(values.size())));
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

std::string format(double value, const char* unit = " ms")
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f%s", value, unit);
    return text;
}

void row(const std::string& figure, const std::string& value, const std::string& goal)
{
    std::cout << "| " << figure << " | " << value << " | " << goal << " |\n";
}

// Random waits between presses, so that presses fall at every point of a period.
class Pause {
public:
    void operator()(std::chrono::microseconds least)
    {
        std::this_thread::sleep_for(least + std::chrono::microseconds(spread_(random_)));
    }

private:
    std::mt19937 random_ { 6 };
    std::uniform_int_distribution<int> spread_ { 0, 5000 };
};

// The synth's audio ports: the outputs that belong to neither the server's
// own system client nor this process.
std::vector<std::string> synthPorts(jack_client_t* client)
{
    std::vector<std::string> result;
    for (auto& name : audioOutputs(client))
        if (name.rfind("system:", 0) != 0)
            result.push_back(std::move(name));
    return result;
}

void addStages(Press& press, const StageLog& stages)
{
    press.read = stages.first(StageMarks::keyPressRead, press.pressed, press.arrived);
    if (press.read)
        press.handedOver = stages.first(StageMarks::noteHandedOver, *press.read, press.arrived);
}

// Press to the first sounding cycle, the synth silent before each press.
Run measureSound(FakeKeys& keys, SoundOnset& listener, const StageLog& stages, int presses)
{
    Run run;
    Pause pause;
    for (int i = 0, early = 0; i < presses && early < presses;) {
        if (!listener.waitForSilence(quietLevel, quietSpan, 10s)) {
            std::cerr << "key_to_jack_bench: the synth never fell silent\n";
            run.lost += presses - i;
            break;
        }
        listener.arm(loudLevel);
        pause(0us);
        const auto pressed = keys.send(XK_z, true);
        const auto onset = listener.waitForOnset(2s);
        std::this_thread::sleep_for(held);
        keys.send(XK_z, false);
        if (onset && *onset < pressed) {
            ++early; // a noise before the press: try this one again
            continue;
        }
        ++i;
        if (!onset) {
            ++run.lost;
            continue;
        }
        Press press { pressed, *onset, {}, {} };
        addStages(press, stages);
        run.presses.push_back(press);
    }
    return run;
}

// Press to the note-on at the capture port; its release must bring the note-off.
Run measureMidi(FakeKeys& keys, JackCapture& capture, const StageLog& stages, int presses)
{
    Run run;
    Pause pause;
    for (int i = 0; i < presses; ++i) {
        const size_t before = capture.events().size();
        const auto pressed = keys.send(XK_z, true);
        const bool arrived = capture.waitFor(before + 1, 2s);
        std::this_thread::sleep_for(held);
        keys.send(XK_z, false);
        const bool released = capture.waitFor(before + 2, 2s);
        const auto events = capture.events();
        const auto on = arrived ? events[before].bytes : std::vector<uint8_t> {};
        if (on.size() == 3 && (on[0] & 0xF0) == 0x90 && released && events.size() == before + 2) {
            Press press { pressed, events[before].cycleTime, {}, {} };
            addStages(press, stages);
            run.presses.push_back(press);
        } else {
            ++run.lost;
        }
        pause(10ms);
    }
    return run;
}

void report(const std::string& path, const Run& run, int presses, double goal, const std::string& goalText)
{
    const std::string setting
        = std::to_string(jackPeriod) + " frames @ " + std::to_string(jackRate / 1000) + " kHz";
    std::vector<double> total, server, program, cycle;
    for (const auto& p : run.presses) {
        total.push_back(millis(p.arrived - p.pressed));
        if (p.read && p.handedOver) {
            server.push_back(millis(*p.read - p.pressed));
            program.push_back(millis(*p.handedOver - *p.read));
            cycle.push_back(millis(p.arrived - *p.handedOver));
        }
    }
    const std::string counted = std::to_string(total.size()) + " presses"
        + (run.lost ? ", " + std::to_string(run.lost) + " of " + std::to_string(presses) + " lost" : "");
    // The goal is a typical press, as the peer keyboard's figure is a median.
    // A press waits anything up to a whole period for the next cycle, so the
    // p99 lies about a period above the time the press itself takes.
    const double median = percentile(total, 0.5);
    const bool met = !total.empty() && median <= goal && run.lost == 0;
    row(path + " (median, " + setting + ", " + counted + ")", format(median),
        "≤ " + goalText + " = " + format(goal) + ": " + (met ? "met" : "**missed**"));
    row(path + " (p99, " + setting + ", " + counted + ")", format(percentile(total, 0.99)),
        "for reference: up to one period of waiting for the next cycle included");
    if (server.empty())
        return;
    const auto both = [](const std::vector<double>& v) {
        return format(percentile(v, 0.5), "") + " / " + format(percentile(v, 0.99));
    };
    row(path + ", where the time goes (median / p99 of " + std::to_string(server.size()) + ")",
        "X server to the program's X event thread " + both(server) + "; Qt and the key handler "
            + both(program) + "; to the next JACK cycle " + both(cycle),
        "the last ≤ 1 period + wake-ups");
}

int fail(const std::string& why, const std::string& path = "real X key press -> JACK")
{
    std::cerr << "key_to_jack_bench: " << why << "\n";
    row(path, "failed (see stderr)", "");
    return 1;
}

int onX11()
{
    XvfbServer xvfb;
    if (!xvfb.running())
        return fail("Xvfb did not start");
    JackServer jack(jackPeriod, jackRate);
    if (!jack.running())
        return fail("jackd did not start");
    // Both listen before the program starts: it lists the MIDI ports once.
    JackCapture capture("capture");
    SoundOnset listener("listener");
    FakeKeys keys(xvfb.display());
    StageLog stages;
    if (!capture.ok() || !listener.ok() || !keys.ok() || !stages.ok())
        return fail("no JACK clients, no XTEST or no file for the probe");

    Environment env { "JACK_DEFAULT_SERVER=" + jack.name(), "WAYLAND_DISPLAY",
        // The synth is to play through JACK here, even on a desktop.
        "PULSE_SERVER=unix:/nonexistent" };
    for (const auto& entry : stages.environment())
        env.push_back(entry);
    ProgramOnX program(TONVELO_BINARY, xvfb.display(), env);
    const unsigned long window = program.waitForMainWindow(60s);
    if (window == 0)
        return fail("the keyboard window did not show:\n" + program.process().output());
    if (program.boxesAnswered() > 0)
        return fail("the built-in synth did not open:\n" + program.process().output());
    Desktop desktop(program, window);
    if (!desktop.xdotool({ "windowfocus", "--sync", std::to_string(window) }))
        return fail("could not focus the keyboard window");

    // "MIDI Mapper", the synth, is open from the start: listen to it.
    std::vector<std::string> synth;
    waitUntil([&] { return (synth = synthPorts(listener.client())).size() >= 2; }, 10s);
    if (synth.size() != 2)
        return fail("the synth has " + std::to_string(synth.size()) + " JACK audio outputs, not 2");
    for (int i = 0; i < 2; ++i)
        jack_connect(listener.client(), synth[static_cast<size_t>(i)].c_str(), listener.portName(i).c_str());
    jack_port_t* left = jack_port_by_name(listener.client(), listener.portName(0).c_str());
    jack_port_t* right = jack_port_by_name(listener.client(), listener.portName(1).c_str());
    if (!waitUntil([&] { return jack_port_connected(left) && jack_port_connected(right); }, 10s))
        return fail("could not connect to the synth's outputs");

    std::cerr << "key_to_jack_bench: built-in synth, " << soundPresses << " presses\n";
    measureSound(keys, listener, stages, warmUpPresses);
    const Run sound = measureSound(keys, listener, stages, soundPresses);

    // Device menu: "MIDI Mapper", then the ports, the capture client's among them.
    jack_port_t* midiIn = jack_port_by_name(capture.client(), capture.portName().c_str());
    const DeviceMenuPlace place(capture.portName());
    if (!desktop.clickFirstTitle())
        return fail("could not open the device menu");
    const unsigned long menu = desktop.openMenu();
    if (menu == 0 || place.entry < 1 || !desktop.clickEntry(menu, place.entry, place.entries)
        || !desktop.menuClosed())
        return fail("could not choose the capture port in the device menu");
    if (!waitUntil([&] { return jack_port_connected(midiIn) > 0; }, 10s))
        return fail("the program did not connect to the capture port");
    std::this_thread::sleep_for(100ms); // a new connection goes live a cycle or two later

    std::cerr << "key_to_jack_bench: MIDI capture port, " << midiPresses << " presses\n";
    measureMidi(keys, capture, stages, warmUpPresses);
    const Run midi = measureMidi(keys, capture, stages, midiPresses);
    std::cerr << "key_to_jack_bench: " << listener.xruns() << " JACK xruns in the run\n";

    row("JACK period at " + std::to_string(jackPeriod) + " frames @ " + std::to_string(jackRate / 1000)
            + " kHz (floor of the two latencies below)",
        format(periodMs), "");
    report(
        "real X key press -> JACK MIDI capture port", midi, midiPresses, periodMs + 0.5, "1 period + 0.5 ms");
    report("real X key press -> first JACK cycle with the built-in synth's sound", sound, soundPresses,
        periodMs + 0.2, "1 period + 0.2 ms");
    return 0;
}

int onWayland()
{
    const std::string path = "real key press under Wayland (sway) -> JACK MIDI capture port";
    SwayServer sway;
    if (!sway.running())
        return fail("sway did not start", path);
    JackServer jack(jackPeriod, jackRate);
    if (!jack.running())
        return fail("jackd did not start", path);
    JackCapture capture("capture");
    FakeKeys keys(sway.xDisplay());
    StageLog noStages; // the probe reads X events; a Wayland client reads none
    if (!capture.ok() || !keys.ok() || !noStages.ok())
        return fail("no JACK client or no XTEST", path);

    Environment env = sway.clientEnvironment();
    env.insert(env.end(), { "JACK_DEFAULT_SERVER=" + jack.name(), "PULSE_SERVER=unix:/nonexistent" });
    RunningProgram program({ TONVELO_BINARY }, env);
    const int width = toPixels(controls::client).width();
    std::optional<SwayServer::View> window;
    const auto findWindow = [&] {
        window.reset();
        for (const auto& view : sway.views())
            if (view.pid == program.pid() && view.geometry.width() == width && view.focused)
                window = view;
        return window.has_value();
    };
    waitUntil(findWindow, 60s);
    std::this_thread::sleep_for(500ms); // sway places a new window in its first frames
    if (!findWindow())
        return fail("the keyboard window did not show:\n" + program.output(), path);

    WaylandDesktop desktop(sway, *window);
    jack_port_t* midiIn = jack_port_by_name(capture.client(), capture.portName().c_str());
    const DeviceMenuPlace place(capture.portName());
    if (!desktop.clickFirstTitle())
        return fail("could not open the device menu", path);
    const QRect menu = desktop.openMenu();
    if (place.entry < 1 || !desktop.clickEntry(menu, place.entry, place.entries) || !desktop.menuClosed())
        return fail("could not choose the capture port in the device menu", path);
    if (!waitUntil([&] { return jack_port_connected(midiIn) > 0; }, 10s))
        return fail("the program did not connect to the capture port", path);
    std::this_thread::sleep_for(100ms);

    std::cerr << "key_to_jack_bench: MIDI capture port under sway, " << midiPresses << " presses\n";
    measureMidi(keys, capture, noStages, warmUpPresses);
    const Run midi = measureMidi(keys, capture, noStages, midiPresses);
    report(path, midi, midiPresses, periodMs + 0.5, "1 period + 0.5 ms");
    return 0;
}

} // namespace

int main()
{
    const int x11 = onX11();
    const int wayland = onWayland();
    return x11 || wayland;
}
