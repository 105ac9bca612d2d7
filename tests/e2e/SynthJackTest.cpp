#include <gtest/gtest.h>

#include <cstdlib>

#include "JackServer.h"
#include "SoundOnset.h"
#include "midi/MidiMessage.h"
#include "midi/ports/SystemOutputs.h"

using namespace std::chrono_literals;

// The synth as the program opens it at start-up, playing into a private JACK
// server. The note is sent the moment the synth is open, before the piano's
// samples would have had time to load by themselves.
TEST(SynthOnJack, TheFirstNoteRightAfterOpeningSoundsAndItsNoteOffEndsIt)
{
    JackServer server;
    ASSERT_TRUE(server.running()) << "jackd did not start";
    // A desktop's sound server would take the synth before JACK does.
    setenv("PULSE_SERVER", "unix:/nonexistent", 1);
    SoundOnset listener("listener");
    ASSERT_TRUE(listener.ok());

    SystemOutputs outputs;
    outputs.prepareSynth();
    const auto synth = outputs.open(-1);
    ASSERT_NE(synth, nullptr);
    listener.arm(0.01f);
    EXPECT_EQ(synth->send(midi::noteOnValue(60, 0, 127)), 0);

    const auto ports = audioOutputs(listener.client(), "^Tonvelo:");
    ASSERT_EQ(ports.size(), 2u);
    for (int i = 0; i < 2; ++i)
        jack_connect(listener.client(), ports[static_cast<size_t>(i)].c_str(), listener.portName(i).c_str());
    EXPECT_TRUE(listener.waitForOnset(3s)) << "the first note made no sound";
    EXPECT_EQ(server.clientsNamed("Tonvelo"), 1);

    EXPECT_EQ(synth->send(midi::noteOffValue(60, 0)), 0);
    EXPECT_TRUE(listener.waitForSilence(0.001f, 300ms, 10s)) << "the note went on after its note-off";
    unsetenv("PULSE_SERVER");
}
