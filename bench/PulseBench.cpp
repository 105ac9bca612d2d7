// The real program on a private PulseAudio daemon, no JACK and no PipeWire,
// as desktops without PipeWire run it: from a real key press to the first
// sound at the sink's monitor, what the program costs while idle, and how
// soon a press sounds after the program starts and after the daemon
// restarts. The monitor's own latency is counted in, so the figures are what
// a listener at the sink would see, a little pessimistic. Once on the null
// sink, and once on PulseAudio's ALSA sink over the test card, which plays
// in real time as a card does: the null sink renders up to 2 s ahead until a
// stream asks for less, and a stream that joins meanwhile waits for that
// block to end; a card's sink does not.
// Prints rows of a markdown table: | figure | value | goal |.

#include <X11/keysym.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>
#include <thread>
#include <vector>

#include "Desktop.h"
#include "FakeKeys.h"
#include "ProcessorTime.h"
#include "ProgramOnX.h"
#include "PulseAudioServer.h"
#include "SinkMonitor.h"
#include "XWindows.h"
#include "XvfbServer.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int presses = 20;
// The test card's periods: small, as a desktop that cares for latency sets
// them. PulseAudio's ALSA sink plays it on fixed periods, without rewinds:
// it has no mmap, so no timer scheduling, and is no hardware.
constexpr int cardFragments = 4;
constexpr int cardFragmentMs = 2;

void row(const std::string& figure, const std::string& value, const std::string& goal)
{
    std::cout << "| " << figure << " | " << value << " | " << goal << " |\n";
}

std::string millis(double ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f ms", ms);
    return std::isnan(ms) ? "no sound" : text;
}

// One press of Z; the time from the key event to its sound, NaN when it made none.
double press(FakeKeys& keys, SinkMonitor& monitor)
{
    monitor.arm();
    const auto pressed = keys.send(XK_z, true);
    const auto onset = monitor.waitForOnset(2s);
    std::this_thread::sleep_for(30ms);
    keys.send(XK_z, false);
    if (!onset || *onset < pressed)
        return NAN;
    return std::chrono::duration<double, std::milli>(*onset - pressed).count();
}

struct Figures {
    double median = NAN;
    int lost = 0;
    int widened = 0;
    std::string settled = "1000 µs";
    double idle = NAN;
    double afterStart = NAN;
    double afterRestart = NAN;
};

// The program on `pulse`: a press 1 s after it started, 20 presses, when
// `full` its CPU while idle, a press 1 s after the daemon restarted, and
// when `full` the demo.
std::optional<Figures> measure(PulseAudioServer& pulse, const XvfbServer& xvfb, bool full)
{
    Environment env = pulse.environment();
    env.insert(env.end(),
        { "JACK_DEFAULT_SERVER=tonvelo-absent-" + std::to_string(getpid()), "PIPEWIRE_REMOTE=/nonexistent" });
    // The sink settles into short blocks once a stream asks for them.
    std::optional<SinkMonitor> monitor(std::in_place, pulse.server());
    if (!monitor->ok()) {
        std::cerr << "could not record the sink's monitor\n";
        return std::nullopt;
    }

    ProgramOnX program(TONVELO_BINARY, xvfb.display(), env);
    const unsigned long window = program.waitForMainWindow(60s);
    const auto started = Clock::now();
    Desktop desktop(program, window);
    if (window == 0 || program.boxesAnswered() > 0
        || !desktop.xdotool({ "windowfocus", "--sync", std::to_string(window) })) {
        std::cerr << "the keyboard did not open its synth:\n" << program.output();
        return std::nullopt;
    }
    FakeKeys keys(xvfb.display());
    Figures figures;
    std::this_thread::sleep_until(started + 1s);
    figures.afterStart = press(keys, *monitor);

    std::vector<double> times;
    for (int i = 0; i < presses; ++i) {
        monitor->waitForSilence(50ms, 10s);
        const double ms = press(keys, *monitor);
        if (std::isnan(ms))
            ++figures.lost;
        else
            times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    if (!times.empty())
        figures.median = times[times.size() / 2];

    if (full) {
        std::this_thread::sleep_for(12s);
        const long before = cpuTicks(program.process().pid());
        std::this_thread::sleep_for(10s);
        figures.idle = 100.0 * static_cast<double>(cpuTicks(program.process().pid()) - before)
            / static_cast<double>(sysconf(_SC_CLK_TCK)) / 10.0;
    }

    // Its connection would die with the daemon.
    monitor.reset();
    pulse.kill();
    pulse.restart();
    const auto restarted = Clock::now();
    monitor.emplace(pulse.server());
    std::this_thread::sleep_until(restarted + 1s);
    figures.afterRestart = press(keys, *monitor);
    if (full) {
        // The demo button's middle, under a menu bar of some 24 pixels. The
        // tune lasts 73 s, and its last note sounds on.
        desktop.xdotool(
            { "mousemove", "--window", std::to_string(window), std::to_string((1920 + 2535 / 2) / 15),
                std::to_string((9120 + 735 / 2) / 15 + 24), "click", "1" });
        if (monitor->waitForSilence(2s, 5s))
            std::cerr << "the demo did not play\n";
        std::this_thread::sleep_for(70s);
    }

    const std::string log = program.process().output();
    const std::string asking = "the stream keeps running dry; asking for ";
    for (size_t at = 0; (at = log.find(asking, at)) != std::string::npos; ++at) {
        ++figures.widened;
        figures.settled = log.substr(at + asking.size(), log.find(" of buffer", at) - at - asking.size());
    }
    xwindows::close(xvfb.display(), window);
    program.process().wait(10s);
    return figures;
}

void rows(const std::string& sink, const Figures& figures, const std::string& medianGoal)
{
    row(sink + ": key → sound at its monitor, median of " + std::to_string(presses), millis(figures.median),
        medianGoal);
    row(sink + ": presses lost", std::to_string(figures.lost), "0");
    row(sink + ": times the stream kept running dry and widened its buffer (to)"
            + (std::isnan(figures.idle) ? "" : ", the demo included"),
        std::to_string(figures.widened) + " (" + figures.settled + ")", "0 (1000 µs)");
    if (!std::isnan(figures.idle)) {
        char cpu[32];
        std::snprintf(cpu, sizeof cpu, "%.2f %%", figures.idle);
        row(sink + ": program's CPU while idle, 12 s after the last note", cpu, "< 0.2 % of a core");
    }
    row(sink + ": a press 1 s after start → sound", millis(figures.afterStart), "≤ 20 ms");
    row(sink + ": a press 1 s after the daemon restarted → sound", millis(figures.afterRestart), "≤ 20 ms");
}

} // namespace

int main()
{
    if (!PulseAudioServer::unpacked()) {
        std::cerr << "no PulseAudio daemon in the build tree\n";
        return 1;
    }
    XvfbServer xvfb;
    const auto [totalBefore, stolenBefore] = busyAndStolen();
    std::optional<Figures> null, card;
    {
        PulseAudioServer pulse;
        if (pulse.running() && xvfb.running())
            null = measure(pulse, xvfb, true);
    }
#ifdef TONVELO_ALSA_CARD
    {
        PulseAudioServer pulse("module-alsa-sink device=tonvelo_card sink_name=tonvelo_card fragments="
                + std::to_string(cardFragments)
                + " fragment_size=" + std::to_string(44100 * 4 * cardFragmentMs / 1000),
            "pcm.tonvelo_card { type tonvelo_card file \"/dev/null\" }\n"
            "pcm_type.tonvelo_card { lib \"" TONVELO_ALSA_CARD "\" }\n");
        if (pulse.running() && xvfb.running())
            card = measure(pulse, xvfb, false);
    }
#endif
    if (!null) {
        std::cerr << "the daemon or Xvfb did not start\n";
        return 1;
    }
    const auto [totalAfter, stolenAfter] = busyAndStolen();
    char steal[32];
    std::snprintf(steal, sizeof steal, "%.0f %%",
        100.0 * static_cast<double>(stolenAfter - stolenBefore)
            / static_cast<double>(std::max(1L, totalAfter - totalBefore)));
    row("PulseAudio runs: the machine's load average (1 / 5 min) at the end, and the time the hypervisor "
        "took",
        loadAverage() + ", " + steal, "a quiet machine: load under 1, nothing taken");
    rows("PulseAudio null sink", *null, "≤ 2.6 ms (FluidSynth's PulseAudio driver: 3.67 ms)");
    if (card)
        rows("PulseAudio ALSA sink on a test card (" + std::to_string(cardFragments) + " × "
                + std::to_string(cardFragmentMs) + " ms)",
            *card, "the card's buffer comes on top");
    return null->lost == 0 && (!card || card->lost == 0) ? 0 : 1;
}
