#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

#include "Pitch.h"
#include "audio/PeakLimiter.h"
#include "audio/RenderGate.h"
#include "audio/SynthEngine.h"
#include "midi/MidiMessage.h"
#include "window/KeyMap.h"

namespace {

constexpr double rate = 48000.0;

std::vector<float> render(SynthEngine& engine, double seconds)
{
    const int frames = static_cast<int>(seconds * rate);
    std::vector<float> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
    engine.renderer().render(left.data(), right.data(), frames, 1);
    return left;
}

double rms(const std::vector<float>& s, size_t from, size_t count)
{
    double sum = 0;
    for (size_t i = from; i < from + count; ++i)
        sum += double(s[i]) * s[i];
    return std::sqrt(sum / double(count));
}

float peakOf(const std::vector<float>& s)
{
    return std::fabs(std::ranges::max(s, {}, [](float x) { return std::fabs(x); }));
}

} // namespace

TEST(BuiltInSynth, MiddleCAtFullVelocitySoundsAt261HzAbout9dBUnderFullScaleAndFadesAfterItsNoteOff)
{
    SynthEngine engine(SoundfontSearch::system(), rate);
    ASSERT_TRUE(engine.ok()) << "no General MIDI soundfont found";

    const int note = midi::noteOfKey(12);
    ASSERT_EQ(engine.play(midi::noteOnValue(note, 0, 127)), 0);
    const auto held = render(engine, 1.0);
    ASSERT_EQ(engine.play(midi::noteOffValue(note, 0)), 0);
    const auto released = render(engine, 1.0);

    const std::vector<float> steady(held.begin() + 4800, held.begin() + 4800 + 16384);
    EXPECT_NEAR(dominantPitch(steady, rate), 261.63, 261.63 * 0.02);
    EXPECT_NEAR(20 * std::log10(peakOf(held)), -9.0, 3.0) << "dBFS";

    const double whileHeld = rms(held, held.size() - 4800, 4800);
    const double afterRelease = rms(released, released.size() - 4800, 4800);
    EXPECT_GT(whileHeld, 0.001);
    EXPECT_LT(afterRelease, whileHeld / 10);
}

// The soundfont's piano reads some 20 cents sharp by autocorrelation at any
// rate (its partials are stretched, as a real piano's): each rate is held to
// the pitch at 48 kHz, that one to the note. The key stays held throughout,
// as when a server changes its rate under a player's hand.
TEST(BuiltInSynth, AHeldMiddleCSoundsAgainWithinFiveCentsAtEveryRateAServerMayRunAt)
{
    SynthEngine engine(SoundfontSearch::system(), rate);
    ASSERT_TRUE(engine.ok()) << "no General MIDI soundfont found";
    RenderGate gate(engine.renderer());
    engine.play(midi::noteOnValue(midi::noteOfKey(12), 0, 127));
    const auto pitchAt = [&](double graphRate) {
        EXPECT_TRUE(engine.setSampleRate(graphRate, gate.close()));
        const double used = engine.sampleRate();
        std::vector<float> held(static_cast<size_t>(used)), right(held.size());
        engine.renderer().render(held.data(), right.data(), static_cast<int>(held.size()), 1);
        const size_t from = held.size() / 10;
        return dominantPitch({ held.begin() + from, held.begin() + from + held.size() / 3 }, used);
    };
    const double reference = pitchAt(48000.0);
    EXPECT_NEAR(reference, 261.63, 261.63 * 0.02);
    // 192 kHz is past what FluidSynth renders: the engine renders at 48 kHz
    // instead, which its output asks the server to resample.
    for (const double graphRate : { 22050.0, 44100.0, 96000.0, 192000.0 }) {
        EXPECT_NEAR(1200 * std::log2(pitchAt(graphRate) / reference), 0.0, 5.0) << "cents at " << graphRate;
        EXPECT_EQ(engine.sampleRate(), graphRate == 192000.0 ? 48000.0 : graphRate);
    }

    // A soundfont gone since it was loaded, as after an upgrade: the synth
    // cannot be made anew, and stays as it was.
    const auto link
        = std::filesystem::temp_directory_path() / ("tonvelo-piano-" + std::to_string(getpid()) + ".sf2");
    const auto files = SoundfontSearch::system().candidates();
    std::filesystem::create_symlink(
        *std::ranges::find_if(files, [](const auto& f) { return std::filesystem::is_regular_file(f); }),
        link);
    SynthEngine linked(SoundfontSearch { link.string(), {}, {} }, rate);
    std::filesystem::remove(link);
    ASSERT_TRUE(linked.ok());
    EXPECT_FALSE(linked.setSampleRate(44100.0, RenderGate(linked.renderer()).close()));
    EXPECT_EQ(linked.sampleRate(), rate);
    linked.play(midi::noteOnValue(midi::noteOfKey(12), 0, 127));
    const auto held = render(linked, 0.5);
    EXPECT_NEAR(dominantPitch({ held.begin() + 4800, held.end() }, rate), reference, reference * 0.003);
}

TEST(BuiltInSynth, VelocityZeroNoteOnIsHandedOnAndSilencesTheNote)
{
    SynthEngine engine(SoundfontSearch::system(), rate);
    ASSERT_TRUE(engine.ok());
    engine.play(midi::noteOnValue(60, 0, 100));
    render(engine, 0.2);
    EXPECT_GT(fluid_synth_get_active_voice_count(engine.synth()), 0);
    engine.play(midi::noteOnValue(60, 0, 0));
    render(engine, 3.0);
    EXPECT_EQ(fluid_synth_get_active_voice_count(engine.synth()), 0);
}

TEST(BuiltInSynth, NoUsableSoundfontMeansNotOk)
{
    SoundfontSearch nowhere { "/nonexistent/a.sf2", { "/etc/hostname" }, { "/nonexistent" } };
    SynthEngine engine(nowhere, rate);
    EXPECT_FALSE(engine.ok());
    EXPECT_NE(engine.play(midi::noteOnValue(60, 0, 100)), 0);
}

TEST(BuiltInSynth, EveryChannelOfTheKeyboardPlaysThePianoWithReverbOn)
{
    SynthEngine engine(SoundfontSearch::system(), rate);
    ASSERT_TRUE(engine.ok());
    int reverb = 0;
    fluid_settings_getint(engine.settings(), "synth.reverb.active", &reverb);
    EXPECT_EQ(reverb, 1);
    for (int channel = 0; channel <= 5; ++channel) {
        ASSERT_EQ(engine.play(midi::noteOnValue(60, channel, 127)), 0) << "channel " << channel;
        const auto held = render(engine, 0.5);
        engine.play(midi::noteOffValue(60, channel));
        const std::vector<float> steady(held.begin() + 4800, held.begin() + 4800 + 16384);
        EXPECT_GT(rms(held, 4800, 4800), 0.001) << "channel " << channel;
        EXPECT_NEAR(dominantPitch(steady, rate), 261.63, 261.63 * 0.02) << "channel " << channel;
        render(engine, 3.0);
    }
}

TEST(BuiltInSynth, AllTheComputerKeysAtFullVelocityTogetherStayUnderTheCeiling)
{
    SynthEngine engine(SoundfontSearch::system(), rate);
    ASSERT_TRUE(engine.ok());
    for (const KeyBinding& key : KeyMap)
        engine.play(midi::noteOnValue(midi::noteOfKey(key.keyIndex), 0, 127));
    EXPECT_LE(peakOf(render(engine, 1.0)), PeakLimiter::ceiling);
}
