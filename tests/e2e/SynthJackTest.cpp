#include <gtest/gtest.h>

#include <cstdlib>

#include "JackServer.h"
#include "SoundOnset.h"
#include "SystemOutputs.h"
#include "midi/MidiMessage.h"

using namespace std::chrono_literals;

// The synth as the program opens it at start-up, playing into a private JACK
// server. The note is sent the moment the synth is open, before the piano's
// samples would have had time to load by themselves.
TEST(SynthOnJack, TheFirstNoteRightAfterOpeningSoundsOnBothSpeakersAndItsNoteOffEndsIt)
{
    JackServer server;
    ASSERT_TRUE(server.running()) << "jackd did not start";
    // A desktop's sound server would take the synth before JACK does.
    setenv("PULSE_SERVER", "unix:/nonexistent", 1);
    SoundOnset left("left", 1);
    SoundOnset right("right", 1);
    ASSERT_TRUE(left.ok() && right.ok());

    SystemOutputs outputs;
    outputs.prepareSynth();
    const auto synth = outputs.open(-1);
    ASSERT_NE(synth, nullptr);
    left.arm(0.01f);
    right.arm(0.01f);
    EXPECT_EQ(synth->send(midi::noteOnValue(60, 0, 127)), 0);

    const auto ports = audioOutputs(left.client(), "^Tonvelo:");
    ASSERT_EQ(ports.size(), 2u);
    jack_connect(left.client(), ports[0].c_str(), left.portName(0).c_str());
    jack_connect(right.client(), ports[1].c_str(), right.portName(0).c_str());
    EXPECT_TRUE(left.waitForOnset(3s)) << "the first note made no sound on the left";
    EXPECT_TRUE(right.waitForOnset(3s)) << "the first note made no sound on the right";
    EXPECT_EQ(server.clientsNamed("Tonvelo"), 1);
    // Each speaker has a port of its own.
    const auto reaches = [&](size_t i, const char* speaker) {
        return jack_port_connected_to(jack_port_by_name(left.client(), ports[i].c_str()), speaker) != 0;
    };
    EXPECT_TRUE(reaches(0, "system:playback_1") && !reaches(0, "system:playback_2"));
    EXPECT_TRUE(reaches(1, "system:playback_2") && !reaches(1, "system:playback_1"));

    EXPECT_EQ(synth->send(midi::noteOffValue(60, 0)), 0);
    EXPECT_TRUE(left.waitForSilence(0.001f, 300ms, 10s)) << "the note went on after its note-off";
    unsetenv("PULSE_SERVER");
}
