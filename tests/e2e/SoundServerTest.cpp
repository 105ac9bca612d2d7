#include <gtest/gtest.h>

#include <unistd.h>

#include "JackServer.h"
#include "PipeWireServer.h"
#include "SoundOnset.h"
#include "WaitUntil.h"
#include "midi/MidiMessage.h"
#include "midi/SystemOutputs.h"

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

TEST(SoundServers, TheSynthPlaysAgainWithinASecondOfItsJackServerComingBack)
{
    JackServer jack;
    ASSERT_TRUE(jack.running()) << "jackd did not start";
    const auto synth = openSynth();
    ASSERT_NE(synth, nullptr);
    ASSERT_TRUE(soundsOnJack(*synth));

    jack.kill();
    EXPECT_EQ(synth->send(midi::noteOnValue(64, 0, 127)), 0) << "a note while the server is gone";
    EXPECT_EQ(synth->send(midi::noteOffValue(64, 0)), 0);
    ASSERT_TRUE(jack.restart()) << "jackd did not start again";
    EXPECT_TRUE(soundsOnJack(*synth, 1s)) << "no sound a second after the server came back";
    // Ends with the server gone again: closing must not hang.
    jack.kill();
}
