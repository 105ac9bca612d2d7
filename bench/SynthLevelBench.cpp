// How loud the built-in synth plays, offline: the peak of single notes, of all
// 24 computer keys at once and of a key tapped fast, as the audio outputs
// hand it on (through the synth's renderer, 64-frame interleaved periods at
// 48 kHz), beside FluidSynth's own output before anything the program adds.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/SynthEngine.h"
#include "midi/MidiMessage.h"
#include "window/KeyMap.h"

namespace {

constexpr double rate = 48000.0;
constexpr int period = 64;

struct Message {
    int frame; // when it is sent, counted from the start
    uint32_t value;
};

// The loudest sample over `seconds`, in dBFS; `raw` takes FluidSynth's own output.
double peakDb(const std::vector<Message>& messages, double seconds, bool raw)
{
    SynthEngine engine(SoundfontSearch::system(), rate);
    if (!engine.ok()) {
        std::fprintf(stderr, "no General MIDI soundfont\n");
        std::exit(1);
    }
    float block[2 * period];
    float peak = 0.0f;
    size_t next = 0;
    for (int frame = 0; frame < static_cast<int>(seconds * rate); frame += period) {
        for (; next < messages.size() && messages[next].frame < frame + period; ++next)
            engine.play(messages[next].value);
        if (raw)
            fluid_synth_write_float(engine.synth(), period, block, 0, 2, block, 1, 2);
        else
            engine.renderer().render(block, block + 1, period, 2);
        for (float sample : block)
            peak = std::max(peak, std::fabs(sample));
    }
    return 20.0 * std::log10(std::max(peak, 1e-10f));
}

// One row; the goal is met when the output's peak lies in [low, high] dBFS.
void row(
    const std::string& figure, const std::vector<Message>& messages, double seconds, double low, double high)
{
    const double out = peakDb(messages, seconds, false);
    const double raw = peakDb(messages, seconds, true);
    char goal[32];
    if (std::isinf(low))
        std::snprintf(goal, sizeof goal, "<= %.1f dBFS", high);
    else
        std::snprintf(goal, sizeof goal, "%.0f..%.0f dBFS", low, high);
    std::printf("| %s, at the synth's output (FluidSynth's own, before the limiter) | %.2f dBFS (%+.2f dBFS) "
                "| %s: %s |\n",
        figure.c_str(), out, raw, goal, out >= low && out <= high ? "met" : "**missed**");
}

} // namespace

int main()
{
    const int c4 = 60;
    for (const auto& [name, note] : { std::pair { "C4", c4 }, { "C3", c4 - 12 }, { "C6", c4 + 24 } })
        row("peak of one " + std::string(name) + " at velocity 127",
            { { 0, midi::noteOnValue(note, 0, 127) } }, 2.0, -12, -6);
    // The velocity curve is FluidSynth's own: velocity 64 about 12 dB under 127.
    row("peak of one C4 at velocity 64", { { 0, midi::noteOnValue(c4, 0, 64) } }, 2.0, -24, -18);

    std::vector<Message> keys;
    for (const KeyBinding& binding : KeyMap)
        keys.push_back({ 0, midi::noteOnValue(midi::noteOfKey(binding.keyIndex), 0, 127) });
    row("peak of all 24 computer keys at velocity 127", keys, 3.0, -INFINITY, -0.3);

    // A press and its release every half millisecond.
    std::vector<Message> taps;
    for (int i = 0; i < 20; ++i) {
        const int at = static_cast<int>(i * 0.0005 * rate);
        taps.push_back({ at, midi::noteOnValue(c4, 0, 127) });
        taps.push_back({ at + 12, midi::noteOffValue(c4, 0) });
    }
    row("peak of 20 taps of C4 at velocity 127 in 10 ms", taps, 3.0, -INFINITY, -0.3);
    return 0;
}
