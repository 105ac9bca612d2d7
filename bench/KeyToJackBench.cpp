// Latency of the real program from a real key press on a private X display
// to a private JACK server at 64 frames / 48 kHz: to the event at a MIDI
// capture port chosen in the device menu, and to the first cycle that
// carries the built-in synth's sound. Each press leaves this process through
// XTEST; the latency ends when the receiving client's process cycle runs.
// Prints rows of a markdown table: | figure | value | goal |.

#include <X11/keysym.h>
#include <jack/jack.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <random>
#include <thread>

#include "Desktop.h"
#include "FakeKeys.h"
#include "JackCapture.h"
#include "JackServer.h"
#include "ProgramOnX.h"
#include "SoundOnset.h"
#include "WaitUntil.h"
#include "XvfbServer.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int jackPeriod = 64;
constexpr int jackRate = 48000;
constexpr double periodMs = 1000.0 * jackPeriod / jackRate;
constexpr int warmUpPresses = 10;
constexpr int midiPresses = 400;
constexpr int soundPresses = 200;
constexpr auto held = 30ms; // between a press and its release
// The synth's output is judged silent below -80 dBFS and sounding from
// -60 dBFS: the first block of a note lies far above that, the reverb's
// tail of the previous one must have died below it.
constexpr float quietLevel = 1e-4f;
constexpr float loudLevel = 1e-3f;
constexpr auto quietSpan = 50ms;

struct Figures {
    std::vector<double> ms;
    int lost = 0;
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<size_t>(std::ceil(p * static_cast<double>(values.size())));
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
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

double millis(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// Random waits between presses, so that presses fall at every point of a period.
class Pause {
public:
    void operator()(std::chrono::microseconds least)
    {
        std::this_thread::sleep_for(least + std::chrono::microseconds(spread_(random_)));
    }

private:
    std::mt19937 random_{6};
    std::uniform_int_distribution<int> spread_{0, 5000};
};

// The synth's audio ports: the outputs that belong to neither the server's
// own system client nor this process.
std::vector<std::string> synthPorts(jack_client_t* client)
{
    std::vector<std::string> result;
    if (const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput)) {
        for (const char** p = ports; *p; ++p)
            if (std::string(*p).rfind("system:", 0) != 0)
                result.push_back(*p);
        jack_free(ports);
    }
    return result;
}

// Press to first sounding cycle, the input silent before each press.
Figures measureSound(FakeKeys& keys, SoundOnset& listener, int presses)
{
    Figures figures;
    Pause pause;
    int spurious = 0;
    for (int i = 0; i < presses && spurious < presses;) {
        if (!listener.waitForSilence(quietLevel, quietSpan, 10s)) {
            std::cerr << "key_to_jack_bench: the synth never fell silent\n";
            ++figures.lost;
            return figures;
        }
        listener.arm(loudLevel);
        pause(0us);
        const auto pressed = keys.send(XK_z, true);
        const auto onset = listener.waitForOnset(2s);
        std::this_thread::sleep_for(held);
        keys.send(XK_z, false);
        if (!onset) {
            ++figures.lost;
            ++i;
        } else if (onset->cycleTime < pressed) {
            ++spurious; // noise before the press: judge this one again
        } else {
            figures.ms.push_back(millis(onset->cycleTime - pressed));
            ++i;
        }
    }
    return figures;
}

// Press to note-on at the capture port; its release must bring the note-off.
Figures measureMidi(FakeKeys& keys, JackCapture& capture, int presses)
{
    Figures figures;
    Pause pause;
    for (int i = 0; i < presses; ++i) {
        const size_t before = capture.events().size();
        const auto pressed = keys.send(XK_z, true);
        const bool arrived = capture.waitFor(before + 1, 2s);
        std::this_thread::sleep_for(held);
        keys.send(XK_z, false);
        const bool released = capture.waitFor(before + 2, 2s);
        const auto events = capture.events();
        const auto& on = arrived ? events[before].bytes : std::vector<uint8_t>{};
        if (on.size() == 3 && (on[0] & 0xF0) == 0x90 && released && events.size() == before + 2)
            figures.ms.push_back(millis(events[before].cycleTime - pressed));
        else
            ++figures.lost;
        pause(10ms);
    }
    return figures;
}

void report(const std::string& path, const Figures& f, int presses, double goal, const std::string& goalText)
{
    const std::string setting = std::to_string(jackPeriod) + " frames @ " + std::to_string(jackRate / 1000) + " kHz";
    const std::string of = std::to_string(f.ms.size()) + " presses"
        + (f.lost ? ", " + std::to_string(f.lost) + " of " + std::to_string(presses) + " lost" : "");
    for (const auto& [name, p] : {std::pair{"median", 0.5}, std::pair{"p99", 0.99}}) {
        const double value = percentile(f.ms, p);
        const bool met = !f.ms.empty() && value <= goal && f.lost == 0;
        row(path + " (" + name + ", " + setting + ", " + of + ")", format(value, 2, "ms"),
            "≤ " + goalText + " = " + format(goal, 2, "ms") + ": " + (met ? "met" : "**missed**"));
    }
    std::cerr << "key_to_jack_bench: " << path << ": min " << format(percentile(f.ms, 0), 2, "ms") << ", p90 "
              << format(percentile(f.ms, 0.9), 2, "ms") << ", max " << format(percentile(f.ms, 1), 2, "ms")
              << "\n";
}

int fail(const std::string& why)
{
    std::cerr << "key_to_jack_bench: " << why << "\n";
    row("real X key press -> JACK", "failed (see stderr)", "");
    return 1;
}

} // namespace

int main()
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
    if (!capture.ok() || !listener.ok() || !keys.ok())
        return fail("no JACK clients or no XTEST");

    ProgramOnX program(TONVELO_BINARY, xvfb.display(),
                       {"JACK_DEFAULT_SERVER=" + jack.name(), "WAYLAND_DISPLAY",
                        // The synth is to play through JACK here, even on a desktop.
                        "PULSE_SERVER=unix:/nonexistent"});
    const unsigned long window = program.waitForMainWindow(60s);
    if (window == 0)
        return fail("the keyboard window did not show:\n" + program.process().output());
    if (program.boxesAnswered() > 0)
        return fail("the built-in synth did not open:\n" + program.process().output());
    Desktop desktop(program, window);
    if (!desktop.xdotool({"windowfocus", "--sync", std::to_string(window)}))
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
    measureSound(keys, listener, warmUpPresses);
    const Figures sound = measureSound(keys, listener, soundPresses);

    // Device menu: "MIDI Mapper", then the first port, the capture client's.
    jack_port_t* midiIn = jack_port_by_name(capture.client(), capture.portName().c_str());
    if (!desktop.clickFirstTitle())
        return fail("could not open the device menu");
    const unsigned long menu = desktop.openMenu();
    if (menu == 0 || !desktop.clickEntry(menu, 1, 2) || !desktop.menuClosed())
        return fail("could not choose the capture port in the device menu");
    if (!waitUntil([&] { return jack_port_connected(midiIn) > 0; }, 10s))
        return fail("the program did not connect to the capture port");
    std::this_thread::sleep_for(100ms); // a new connection goes live a cycle or two later

    std::cerr << "key_to_jack_bench: MIDI capture port, " << midiPresses << " presses\n";
    measureMidi(keys, capture, warmUpPresses);
    const Figures midi = measureMidi(keys, capture, midiPresses);
    std::cerr << "key_to_jack_bench: " << listener.xruns() << " JACK xruns in the run\n";

    row("JACK period at " + std::to_string(jackPeriod) + " frames @ " + std::to_string(jackRate / 1000)
            + " kHz (floor of the two latencies below)",
        format(periodMs, 2, "ms"), "");
    report("real X key press -> JACK MIDI capture port", midi, midiPresses, periodMs + 0.5, "1 period + 0.5 ms");
    report("real X key press -> first JACK cycle with the built-in synth's sound", sound, soundPresses,
           periodMs + 0.2, "1 period + 0.2 ms");
    return 0;
}
