#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <thread>

#include "JackServer.h"
#include "PipeWireServer.h"
#include "Pitch.h"
#include "PulseAudioServer.h"
#include "SoundOnset.h"
#include "SystemOutputs.h"
#include "WaitUntil.h"
#include "midi/MidiMessage.h"

// Which sound server the synth plays through, and how it follows one that
// goes away and comes back.

using namespace std::chrono_literals;

namespace {

std::unique_ptr<MidiOutput> openSynth()
{
    SystemOutputs outputs;
    return outputs.open(-1);
}

// Whether a note sounds on the synth's JACK ports within `timeout`. Ports
// show a little before a reopened synth plays, so the note is played again
// until it sounds.
bool soundsOnJack(MidiOutput& synth, std::chrono::milliseconds timeout = 5s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    SoundOnset listener("listener");
    return listener.listenTo("^Tonvelo:", timeout)
        && waitUntil(
            [&] {
                listener.arm(0.01f);
                synth.send(midi::noteOnValue(60, 0, 127));
                const bool sounded = listener.waitForOnset(200ms).has_value();
                synth.send(midi::noteOffValue(60, 0));
                return sounded;
            },
            std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now()));
}

// Middle C from one press on the synth's ports, as soon as they show: its
// pitch at `rate`, or nothing when it does not sound.
std::optional<double> pitchOnJack(MidiOutput& synth, double rate, std::chrono::milliseconds timeout)
{
    SoundOnset listener("listener");
    if (!listener.listenTo("^Tonvelo:", timeout))
        return std::nullopt;
    synth.send(midi::noteOnValue(60, 0, 127));
    const auto held = listener.record(0.01f, 24000, timeout);
    synth.send(midi::noteOffValue(60, 0));
    if (held.empty())
        return std::nullopt;
    const std::vector<float> steady(held.begin() + 4800, held.end());
    return dominantPitch(steady, rate);
}

bool semaphoresLeft(const std::string& server)
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ec))
        if (entry.path().filename().string().find("_" + server + "_Tonvelo") != std::string::npos)
            return true;
    return false;
}

} // namespace

TEST(SoundServers, AJackServerBesidePipeWireTakesTheSynthAndPulseAudioAloneGetsItAlsoAfterARestart)
{
    {
        PipeWireServer pipewire;
        ASSERT_TRUE(pipewire.running()) << "PipeWire did not start";
        JackServer jack;
        ASSERT_TRUE(jack.running()) << "jackd did not start";
        const auto synth = openSynth();
        ASSERT_NE(synth, nullptr);
        EXPECT_TRUE(soundsOnJack(*synth)) << "not on JACK";
        const auto dump = runCommand({ "pw-dump" }, 10s, pipewire.environment());
        EXPECT_EQ(dump.output.find("\"Tonvelo\""), std::string::npos) << "also on PipeWire";
    }
    {
        // PulseAudio as desktops run it today: PipeWire's service, with
        // PipeWire's own socket out of the synth's reach.
        PipeWireServer pulse(PipeWireServer::Access::PulseAudioOnly);
        ASSERT_TRUE(pulse.running()) << "pipewire-pulse did not start";
        setenv("JACK_DEFAULT_SERVER", ("tonvelo-absent-" + std::to_string(getpid())).c_str(), 1);
        const auto synth = openSynth();
        unsetenv("JACK_DEFAULT_SERVER");
        ASSERT_NE(synth, nullptr) << "PulseAudio alone did not take the synth";
        const auto playing = [&] {
            const auto inputs
                = runCommand({ "pactl", "list", "sink-inputs" }, 10s, pulse.environment()).output;
            return inputs.find("application.process.id = \"" + std::to_string(getpid()) + "\"")
                != std::string::npos
                && inputs.find("client.api = \"pipewire-pulse\"") != std::string::npos;
        };
        EXPECT_TRUE(playing()) << "not on PulseAudio";

        // Restarted, it takes the synth back within a second.
        pulse.kill();
        ASSERT_TRUE(pulse.restart()) << "pipewire-pulse did not start again";
        EXPECT_TRUE(waitUntil(playing, 1s)) << "not back on PulseAudio a second after it restarted";
    }
}

TEST(SoundServers, APulseAudioDaemonAloneTakesTheSynthInTuneCorkedWhileIdleAndBackASecondAfterARestart)
{
    if (!PulseAudioServer::unpacked())
        GTEST_SKIP() << "no PulseAudio daemon in the build tree: it could not be fetched";
    PulseAudioServer pulse;
    ASSERT_TRUE(pulse.running()) << "the PulseAudio daemon did not start";
    setenv("JACK_DEFAULT_SERVER", ("tonvelo-absent-" + std::to_string(getpid())).c_str(), 1);
    setenv("PIPEWIRE_REMOTE", "/nonexistent/pipewire-0", 1);
    const auto synth = openSynth();
    ASSERT_NE(synth, nullptr) << "PulseAudio did not take the synth";
    const auto sinkInput
        = [&] { return runCommand({ "pactl", "list", "sink-inputs" }, 10s, pulse.environment()).output; };
    EXPECT_NE(sinkInput().find("application.name = \"Tonvelo\""), std::string::npos) << sinkInput();
    // A note pressed as a stream starts or uncorks may sound late on the
    // null sink, which then still plays out the long block it began.
    const auto press = [&] {
        synth->send(midi::noteOnValue(60, 0, 127));
        const auto note = pulse.recordNote(0.01f, 26460, 44100, 3s);
        synth->send(midi::noteOffValue(60, 0));
        return note;
    };
    const auto held = press();
    ASSERT_EQ(held.size(), 26460u) << "no 0.6 s of the note within 3 s";
    EXPECT_NEAR(dominantPitch({ held.begin() + 4410, held.end() }, 44100), 261.63, 261.63 * 0.02) << "not C4";

    EXPECT_TRUE(waitUntil([&] { return sinkInput().find("Corked: yes") != std::string::npos; }, 5s))
        << "the stream plays on while idle: " << sinkInput();
    EXPECT_FALSE(press().empty()) << "the press that uncorked it";

    pulse.kill();
    ASSERT_TRUE(pulse.restart()) << "the daemon did not start again";
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(press().empty()) << "a press a second after the restart";
    unsetenv("PIPEWIRE_REMOTE");
    unsetenv("JACK_DEFAULT_SERVER");
}

TEST(SoundServers, TheSynthPlaysInTuneAtOnceWhenItsJackServerComesBackAlsoAtAnotherRate)
{
    JackServer first(256, 44100);
    ASSERT_TRUE(first.running()) << "jackd did not start";
    auto synth = openSynth();
    ASSERT_NE(synth, nullptr);
    const auto before = pitchOnJack(*synth, 44100, 5s);
    ASSERT_TRUE(before);
    EXPECT_NEAR(*before, 261.63, 261.63 * 0.02) << "Hz at 44100 Hz";
    EXPECT_EQ(first.clientsNamed("Tonvelo"), 1);

    // Ten restarts, each followed by one press once the ports are back.
    for (int restart = 1; restart <= 10; ++restart) {
        first.kill();
        EXPECT_EQ(synth->send(midi::noteOnValue(64, 0, 127)), 0) << "a note while the server is gone";
        EXPECT_EQ(synth->send(midi::noteOffValue(64, 0)), 0);
        ASSERT_TRUE(first.restart()) << "jackd did not start again";
        EXPECT_TRUE(pitchOnJack(*synth, 44100, 2s))
            << "the first press after restart " << restart << " was lost";
    }
    EXPECT_EQ(first.clientsNamed("Tonvelo"), 1) << "after ten restarts";

    // Another server, at 48 kHz, takes its place.
    first.kill();
    JackServer second(256, 48000);
    ASSERT_TRUE(second.running()) << "jackd did not start";
    const auto after = pitchOnJack(*synth, 48000, 2s);
    ASSERT_TRUE(after) << "the first press after the ports came back was lost";
    EXPECT_NEAR(1200 * std::log2(*after / *before), 0.0, 5.0) << "cents at 48000 Hz off those at 44100 Hz";

    // Ends with the server gone again: the synth, once it heard so, leaves
    // no files of its clients behind, and closing does not hang.
    second.kill();
    EXPECT_TRUE(waitUntil([&] { return !semaphoresLeft(second.name()); }, 2s));
    synth.reset();
    EXPECT_FALSE(semaphoresLeft(first.name()));
    EXPECT_FALSE(semaphoresLeft(second.name()));
}
