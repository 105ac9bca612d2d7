// Latency of the real program on a private PipeWire, as a desktop of today
// runs it (pipewire, wireplumber, pipewire-pulse, a null sink) with a
// 64-frame quantum: from a real key press to the first cycle that carries
// the synth's sound at its node. Once through the synth's own PipeWire
// stream, once through FluidSynth's PulseAudio driver and PipeWire's
// PulseAudio service (the path the program took before it had a stream of
// its own) in a bare Qt keyboard. The listener is a JACK client inside
// PipeWire (pw-jack).
// First, in a quiet graph, the demo tune played by a click on its button,
// with the drop-outs counted at the sink by PipeWire's own profiler, beside
// a plain player in the same cycles for this machine's floor.
// `pipewire_bench demo [QUANTUM]` runs that part only, at another quantum if
// given (the synth then asks for it through PIPEWIRE_LATENCY, as a user can).
// `pipewire_bench pause` runs only the presses after pauses between phrases.
// Prints rows of a markdown table: | figure | value | goal |.

#include <X11/keysym.h>
#include <jack/jack.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <thread>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "Desktop.h"
#include "FakeKeys.h"
#include "GraphProfile.h"
#include "PipeWireServer.h"
#include "ProgramOnX.h"
#include "SoundOnset.h"
#include "WaitUntil.h"
#include "XWindows.h"
#include "XvfbServer.h"
#include "demo/DemoTune.h"
#include "window/qt/QtForm.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int quantum = 64;
constexpr int rate = 48000;
constexpr double quantumMs = 1000.0 * quantum / rate;
constexpr int warmUpPresses = 10;
constexpr int nativePresses = 200;
constexpr int pulsePresses = 40;
// A pause between phrases, while the idle stream stays in the graph, and
// one long enough for it to have left.
constexpr int pausePresses = 20;
constexpr auto pauseRest = 3s;
constexpr int longRestPresses = 5;
constexpr auto longRest = 20s;
constexpr auto held = 30ms;
// As in the JACK benchmark: a note's first cycle is faint, and the last
// note's reverb must have died away before the next press.
constexpr float quietLevel = 3e-5f;
constexpr float loudLevel = 1.5e-4f;
constexpr auto quietSpan = 50ms;
// A drop-out breaks sounding music off into digital silence; no note's
// release and no reverb tail does that, and the synth goes idle only after
// half a second of near silence.
constexpr float sounding = 1e-3f;
constexpr int gapFrames = 16;
// The node name of the plain player beside the synth.
constexpr const char* plainPlayer = "plain-player";

struct Run {
    std::vector<double> millis;
    int lost = 0;
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

// Listens at the synth's node while the demo plays, for what a profile of
// the graph cannot see: sounding music broken off into exact silence on
// both channels, as a synth that stops rendering mid-tune would.
class SilenceBreaks {
public:
    SilenceBreaks()
        : client_("demo-listener", JACK_DEFAULT_AUDIO_TYPE, 2)
    {
        if (client_.ok())
            client_.activate(&SilenceBreaks::process, this);
    }

    bool ok() const { return client_.ok(); }
    jack_client_t* client() const { return client_.get(); }
    std::string portName(int port) const { return client_.portName(port); }
    int gaps() const { return gaps_; }
    long soundingCycles() const { return soundingCycles_; }

private:
    static int process(jack_nframes_t frames, void* arg)
    {
        auto* self = static_cast<SilenceBreaks*>(arg);
        const auto* left = static_cast<const float*>(jack_port_get_buffer(self->client_.ports()[0], frames));
        const auto* right = static_cast<const float*>(jack_port_get_buffer(self->client_.ports()[1], frames));
        float peak = 0;
        for (jack_nframes_t i = 0; i < frames; ++i) {
            const float level = std::max(std::fabs(left[i]), std::fabs(right[i]));
            peak = std::max(peak, level);
            if (level == 0.0f) {
                // The level before the silence is held while it lasts.
                if (++self->silentRun_ == gapFrames && self->level_ >= sounding)
                    ++self->gaps_;
                continue;
            }
            self->silentRun_ = 0;
            self->level_ = std::max(level, self->level_ * 0.999f);
        }
        if (peak >= sounding)
            ++self->soundingCycles_;
        return 0;
    }

    std::atomic<int> gaps_ { 0 };
    std::atomic<long> soundingCycles_ { 0 };
    // Of the process callback only.
    float level_ = 0;
    int silentRun_ = 0;
    // Last, so that its callbacks stop before the state above goes.
    JackClient client_;
};

struct DemoRun {
    GraphProfile::Misses misses;
    std::string latency; // what the synth's node asked for at the end
    int gaps = 0;
    long streamMissed = 0;
    long soundingCycles = 0;
};

// The synth's outputs at its node: every output but the sink's monitor.
std::vector<std::string> synthPorts(jack_client_t* client)
{
    std::vector<std::string> result;
    for (auto& name : audioOutputs(client))
        if (name.find(":monitor_") == std::string::npos)
            result.push_back(std::move(name));
    return result;
}

// A keyboard (`command`) started with `env`, pressed `presses` times once its
// sound is quiet (and `rest` more); the time from each press to the first cycle that sounds.
Run measure(const XvfbServer& xvfb, const std::vector<std::string>& command, const Environment& env,
    int presses, std::chrono::milliseconds rest, std::string& failure)
{
    Run run;
    ProgramOnX program(command, xvfb.display(), env);
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
    xwindows::close(xvfb.display(), window);
    program.process().wait(10s);
    return run;
}

// The cycles the synth's stream woke too late for, as libpipewire logs them
// in the program: "(Tonvelo-<id>) client missed <n> wakeups".
long missedWakeups(const std::string& log)
{
    long missed = 0;
    for (size_t at = 0; (at = log.find("client missed ", at)) != std::string::npos;) {
        const size_t line = log.rfind('\n', at);
        at += std::strlen("client missed ");
        if (log.find("(Tonvelo-", line == std::string::npos ? 0 : line) < at)
            missed += std::strtol(log.c_str() + at, nullptr, 10);
    }
    return missed;
}

std::string readFrom(const std::string& path, std::streamoff offset)
{
    std::ifstream file(path);
    file.seekg(offset);
    return { std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>() };
}

// The program started with `env`, its demo button clicked, with a plain
// player of a sine beside it in the same graph; what the profile and the
// listener counted from the click until the tune's last note has rung a while.
DemoRun playDemo(
    const XvfbServer& xvfb, Environment env, const std::string& dir, int frames, std::string& failure)
{
    DemoRun run;
    if (frames != quantum)
        env.push_back("PIPEWIRE_LATENCY=" + std::to_string(frames) + "/" + std::to_string(rate));
    const std::string logPath = dir + "/tonvelo-demo.log";
    env.insert(env.end(), { "PIPEWIRE_DEBUG=3", "PIPEWIRE_LOG=" + logPath });
    ProgramOnX program(TONVELO_BINARY, xvfb.display(), env);
    const unsigned long window = program.waitForMainWindow(60s);
    if (window == 0 || program.boxesAnswered() > 0) {
        failure = "the keyboard did not open its synth:\n" + program.process().output();
        return run;
    }
    Desktop desktop(program, window);
    SilenceBreaks listener;
    std::vector<std::string> synth;
    waitUntil([&] { return (synth = synthPorts(listener.client())).size() >= 2; }, 10s);
    if (!listener.ok() || synth.size() != 2) {
        failure = "could not listen to the synth's node";
        return run;
    }
    for (int i = 0; i < 2; ++i)
        jack_connect(listener.client(), synth[static_cast<size_t>(i)].c_str(), listener.portName(i).c_str());
    std::this_thread::sleep_for(500ms);

    // The button in the window's client area, which lies below the menu bar.
    const QRect frame = xwindows::geometry(xvfb.display(), window);
    const QPoint button = toPixels(TwipsRect { 1920, 9120, 2535, 735 }).center()
        + QPoint(0, frame.height() - toPixels(controls::client).height());
    int tuneMs = 0;
    for (const auto& step : DemoTune)
        tuneMs += step.pause;
    const std::string sine = dir + "/sine.wav";
    if (!writeSine(sine, tuneMs / 1000 + 4)) {
        failure = "could not write " + sine;
        return run;
    }
    // The player first, so that the graph runs at its quantum before the
    // profiler starts: in one run that began without it, the profiler
    // reported a single cycle.
    RunningProgram player({ "pw-cat", "--playback", "--latency", std::to_string(frames), "-P",
                              "{ node.name = \"" + std::string(plainPlayer) + "\" }", sine },
        env);
    std::this_thread::sleep_for(500ms);
    GraphProfile profile(dir + "/profile", env);
    std::this_thread::sleep_for(500ms);
    const int gapsBefore = listener.gaps();
    const long soundingBefore = listener.soundingCycles();
    std::error_code noLog;
    const auto logBefore = static_cast<std::streamoff>(std::filesystem::file_size(logPath, noLog));
    if (!desktop.xdotool({ "mousemove", "--window", std::to_string(window), std::to_string(button.x()),
            std::to_string(button.y()), "click", "1" })) {
        failure = "could not click the demo button";
        return run;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(tuneMs) + 2s);
    const auto dump = runCommand({ "pw-dump" }, 10s, env).output;
    for (const auto& object : QJsonDocument::fromJson(QByteArray::fromStdString(dump)).array()) {
        const auto props = object.toObject()["info"].toObject()["props"].toObject();
        if (props["node.name"].toString() == QStringLiteral("Tonvelo"))
            run.latency = props["node.latency"].toString().toStdString();
    }
    run.gaps = listener.gaps() - gapsBefore;
    run.streamMissed = missedWakeups(readFrom(logPath, noLog ? 0 : logBefore));
    run.soundingCycles = listener.soundingCycles() - soundingBefore;
    player.stop();
    run.misses = profile.stop("Tonvelo", plainPlayer);
    if (run.misses.cycles == 0)
        failure = "the profiler saw no cycle of the synth's node";
    // Unless it sounded most of the way through, the tune did not play.
    if (run.soundingCycles < static_cast<long>(tuneMs) * rate / frames / 1000 / 2)
        failure = "the demo did not play: " + std::to_string(run.soundingCycles) + " sounding cycles";
    xwindows::close(xvfb.display(), window);
    program.process().wait(10s);
    return run;
}

// Microseconds as median / p99.9 / largest.
std::string medianTailLargest(std::vector<long> micros)
{
    if (micros.empty())
        return "none";
    std::sort(micros.begin(), micros.end());
    const auto at = [&](double p) {
        return std::to_string(micros[static_cast<size_t>(p * static_cast<double>(micros.size() - 1))]);
    };
    return at(0.5) + " / " + at(0.999) + " / " + at(1.0) + " µs";
}

std::string counted(const Run& run, int presses)
{
    return std::to_string(run.millis.size()) + " presses"
        + (run.lost ? ", " + std::to_string(run.lost) + " of " + std::to_string(presses) + " lost" : "");
}

void reportDemo(const DemoRun& demo, int demoFrames)
{
    const auto& m = demo.misses;
    std::cerr << "pipewire_bench: " << m.cycles << " cycles of the synth's node, " << demo.soundingCycles
              << " sounding; missed at the sink: " << m.first << " by the synth (" << m.firstOnly
              << " while the plain player kept time), " << m.second << " by the plain player; " << demo.gaps
              << " broken off into silence; " << demo.streamMissed << " missed by the synth's stream\n";
    const std::string demoSetting
        = std::to_string(demoFrames) + "-frame quantum, " + std::to_string(m.cycles) + " cycles";
    const long dropOuts = m.first + demo.gaps;
    row("demo through PipeWire: drop-outs at the sink, cycles the synth's node missed (PipeWire's profiler) "
        "and sound broken off into silence ("
            + demoSetting + ")",
        std::to_string(dropOuts)
            + (dropOuts ? " (" + std::to_string(m.firstOnly) + " while the plain player kept time)" : ""),
        std::string("0: ") + (dropOuts == 0 ? "met" : "**missed**"));
    row("the same cycles, a plain player of a sine (pw-cat) beside it in the same graph",
        std::to_string(m.second), "this machine's floor");
    row("the same cycles, each node's own part of a cycle it finished, from wake-up to done (median / p99.9 "
        "/ "
        "largest): the synth's node, the plain player",
        medianTailLargest(m.firstWork) + ", " + medianTailLargest(m.secondWork),
        "well within the " + format(1000.0 * demoFrames / rate) + " cycle");
    row("demo through PipeWire: xruns of the synth's stream", std::to_string(demo.streamMissed),
        "for reference");
    row("demo through PipeWire: the cycle the synth's stream asked for at the end (node.latency; the plain "
        "player asks for "
            + std::to_string(demoFrames) + ")",
        demo.latency, "64/48000 where the machine keeps up; 128 or 256 where it cannot");
}

int fail(const std::string& why)
{
    std::cerr << "pipewire_bench: " << why << "\n";
    row("real X key press -> PipeWire", "failed (see stderr)", "");
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    // The listener needs PipeWire's JACK library, which pw-jack puts first.
    const char* libraries = std::getenv("LD_LIBRARY_PATH");
    if (!libraries || !std::strstr(libraries, "pipewire")) {
        std::vector<char*> args { const_cast<char*>("pw-jack") };
        args.insert(args.end(), argv, argv + argc + 1); // with its closing null
        execvp("pw-jack", args.data());
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
    const bool demoOnly = argc > 1 && std::strcmp(argv[1], "demo") == 0;
    const bool pauseOnly = argc > 1 && std::strcmp(argv[1], "pause") == 0;
    const int demoFrames = demoOnly && argc > 2 ? std::atoi(argv[2]) : quantum;
    if (demoFrames < 16 || demoFrames > 8192)
        return fail("the quantum is a number of frames from 16 to 8192");
    std::string failure;
    if (!pauseOnly) {
        std::cerr << "pipewire_bench: the demo tune through the synth's own stream\n";
        const DemoRun demo = playDemo(xvfb, env, pipewire.runtimeDir(), demoFrames, failure);
        if (!failure.empty())
            return fail(failure);
        reportDemo(demo, demoFrames);
    }
    if (demoOnly)
        return 0;

    // The graph held at 64 frames, whatever the synth's stream asks for.
    runCommand(
        { "pw-metadata", "-n", "settings", "0", "clock.force-quantum", std::to_string(quantum) }, 10s, env);
    std::cerr << "pipewire_bench: the synth's own stream, " << nativePresses << " presses\n";
    const Run native
        = pauseOnly ? Run {} : measure(xvfb, { TONVELO_BINARY }, env, nativePresses, 0ms, failure);
    if (!failure.empty())
        return fail(failure);
    std::cerr << "pipewire_bench: the synth's own stream after pauses of " << pauseRest.count() << " s and "
              << longRest.count() << " s\n";
    const Run paused = measure(xvfb, { TONVELO_BINARY }, env, pausePresses, pauseRest, failure);
    const Run rested = failure.empty()
        ? measure(xvfb, { TONVELO_BINARY }, env, longRestPresses, longRest, failure)
        : Run {};
    if (!failure.empty())
        return fail(failure);
    const std::string setting
        = std::to_string(quantum) + "-frame quantum @ " + std::to_string(rate / 1000) + " kHz";
    const auto pauseRow
        = [&](const Run& run, std::chrono::seconds rest, int presses, const std::string& goal) {
              row("the same, first press after " + std::to_string(rest.count())
                      + " s of silence (median / p99, " + setting + ", " + counted(run, presses) + ")",
                  format(percentile(run.millis, 0.5)) + " / " + format(percentile(run.millis, 0.99)), goal);
          };
    const bool pauseMet = !paused.millis.empty() && percentile(paused.millis, 0.5) <= quantumMs + 0.5;
    pauseRow(paused, pauseRest, pausePresses,
        "≤ 1 quantum + 0.5 ms = " + format(quantumMs + 0.5) + ": " + (pauseMet ? "met" : "**missed**"));
    pauseRow(rested, longRest, longRestPresses, "for reference: the stream has left the graph");
    if (pauseOnly)
        return 0;

    std::cerr << "pipewire_bench: FluidSynth's PulseAudio driver, " << pulsePresses << " presses\n";
    const Run pulse = measure(xvfb, { FLUID_PULSE_KEYBOARD }, env, pulsePresses, 0ms, failure);
    if (!failure.empty())
        return fail(failure);

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
    row("real X key press -> first sounding cycle at the synth's node, FluidSynth's PulseAudio driver "
        "through "
        "PipeWire's PulseAudio service (median / p99, the quantum it asks for, "
            + counted(pulse, pulsePresses) + ")",
        format(pulseMedian) + " / " + format(percentile(pulse.millis, 0.99)),
        "the path before the own stream");
    return 0;
}
