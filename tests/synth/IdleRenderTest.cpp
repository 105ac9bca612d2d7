#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/SynthEngine.h"
#include "midi/MidiMessage.h"

namespace {

constexpr double rate = 48000.0;
constexpr int period = 64;

// Two synths fed alike: one through its idle renderer, one rendered always.
struct SynthPair {
    SynthEngine idling { SoundfontSearch::system(), rate };
    SynthEngine always { SoundfontSearch::system(), rate };
    IdleRenderer& renderer = idling.renderer();

    void play(uint32_t value)
    {
        idling.play(value);
        always.play(value);
    }
    // One period of each; the largest difference between them, and the loudest sample.
    std::pair<float, float> cycle(int frames = period)
    {
        float a[2 * period], b[2 * period];
        renderer.render(a, a + 1, frames, 2);
        fluid_synth_write_float(always.synth(), frames, b, 0, 2, b, 1, 2);
        float difference = 0, loudest = 0;
        for (int i = 0; i < 2 * frames; ++i) {
            difference = std::max(difference, std::fabs(a[i] - b[i]));
            loudest = std::max(loudest, std::fabs(b[i]));
        }
        return { difference, loudest };
    }
};

constexpr int cyclesPerSecond = static_cast<int>(rate) / period;

} // namespace

TEST(IdleRender, StopsRenderingOnceTheTailHasDiedAndTheNextNoteSoundsAsIfItNeverHad)
{
    SynthPair synths;
    ASSERT_TRUE(synths.idling.ok() && synths.always.ok());
    for (int note : { 60, 64, 67 })
        synths.play(midi::noteOnValue(note, 0, 127));
    for (int i = 0; i < cyclesPerSecond; ++i)
        synths.cycle();
    for (int note : { 60, 64, 67 })
        synths.play(midi::noteOffValue(note, 0));

    int cycles = 0;
    while (!synths.renderer.idle() && cycles < 10 * cyclesPerSecond)
        synths.cycle(), ++cycles;
    ASSERT_TRUE(synths.renderer.idle()) << "still rendering 10 s after the last note-off";
    EXPECT_GT(cycles, cyclesPerSecond / 2) << "went idle while the reverb still rang";
    const uint64_t rendered = synths.renderer.renderedFrames();
    float loudest = 0;
    for (int i = 0; i < 3 * cyclesPerSecond; ++i)
        loudest = std::max(loudest, synths.cycle().second);
    EXPECT_EQ(synths.renderer.renderedFrames(), rendered) << "idle, yet rendering";
    EXPECT_LT(loudest, 1e-5f) << "went idle while the synth still sounded";

    // The attack comes in the very cycle it would have without the pause.
    synths.play(midi::noteOnValue(60, 0, 100));
    float difference = 0;
    loudest = 0;
    for (int i = 0; i < cyclesPerSecond; ++i) {
        const auto [d, l] = synths.cycle();
        difference = std::max(difference, d);
        loudest = std::max(loudest, l);
        if (i == 1) {
            EXPECT_GT(l, 1e-3f) << "no attack in the first cycles";
        }
    }
    // A message in the middle of a block that sounds leaves nothing out.
    synths.cycle(11);
    synths.play(midi::noteOnValue(64, 0, 100));
    for (int i = 0; i < 100; ++i)
        difference = std::max(difference, synths.cycle(11).first);
    EXPECT_GT(loudest, 0.01f);
    EXPECT_LT(difference, 1e-5f);
    EXPECT_GT(synths.renderer.renderedFrames(), rendered);
}

TEST(IdleRender, ANoteStruckInSilenceStartsAtOnce)
{
    struct : IdleRenderer::Listener {
        int woken = 0;
        void wentIdle() override { }
        void woke() override { ++woken; }
    } playback;
    SynthPair synths;
    ASSERT_TRUE(synths.idling.ok() && synths.always.ok());
    synths.renderer.setListener(&playback);
    // PulseAudio asks for a few frames at a time: FluidSynth alone plays 53 silent frames first.
    synths.cycle(11);
    synths.play(midi::noteOnValue(60, 0, 100));
    EXPECT_EQ(synths.renderer.silentFrames(), 11);
    EXPECT_EQ(playback.woken, 1) << "the playback may drop the silence it holds";
    EXPECT_GT(synths.cycle(44).first, 1e-4f) << "no attack in the 44 frames after the note";
    synths.play(midi::noteOnValue(64, 0, 100));
    EXPECT_EQ(playback.woken, 1) << "told to drop what it holds while a note sounds";
}
