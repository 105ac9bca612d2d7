#include <gtest/gtest.h>

#include <unistd.h>

#include "JackServer.h"
#include "PipeWireServer.h"
#include "PulseServer.h"
#include "SoundOnset.h"
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

// A listener on the synth's JACK ports.
std::unique_ptr<SoundOnset> listenToSynth()
{
    auto listener = std::make_unique<SoundOnset>("listener");
    if (!listener->ok())
        return nullptr;
    std::vector<std::string> ports;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while ((ports = audioOutputs(listener->client(), "^Tonvelo:")).size() < 2
        && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    for (size_t i = 0; i < ports.size() && i < 2; ++i)
        if (jack_connect(
                listener->client(), ports[i].c_str(), listener->portName(static_cast<int>(i)).c_str())
            != 0)
            return nullptr;
    return ports.size() >= 2 ? std::move(listener) : nullptr;
}

bool soundsOnJack(MidiOutput& synth)
{
    auto listener = listenToSynth();
    if (!listener)
        return false;
    listener->arm(0.01f);
    synth.send(midi::noteOnValue(60, 0, 127));
    const bool sounded = listener->waitForOnset(1s).has_value();
    synth.send(midi::noteOffValue(60, 0));
    return sounded;
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
        PulseServer pulse;
        ASSERT_TRUE(pulse.running()) << "pulseaudio did not start";
        setenv("JACK_DEFAULT_SERVER", ("tonvelo-absent-" + std::to_string(getpid())).c_str(), 1);
        const auto synth = openSynth();
        unsetenv("JACK_DEFAULT_SERVER");
        ASSERT_NE(synth, nullptr) << "PulseAudio alone did not take the synth";
        const auto playing = [&] {
            return runCommand({ "pactl", "list", "sink-inputs" }, 10s, pulse.environment())
                       .output.find("application.process.id = \"" + std::to_string(getpid()) + "\"")
                != std::string::npos;
        };
        EXPECT_TRUE(playing()) << "not on PulseAudio";

        // Restarted, it takes the synth back within a second.
        pulse.kill();
        ASSERT_TRUE(pulse.start()) << "pulseaudio did not start again";
        std::this_thread::sleep_for(1s);
        EXPECT_TRUE(playing()) << "not back on PulseAudio a second after it restarted";
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
    ASSERT_TRUE(jack.startAgain()) << "jackd did not start again";
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(soundsOnJack(*synth)) << "no sound a second after the server came back";
    // Ends with the server gone again: closing must not hang.
    jack.kill();
}
