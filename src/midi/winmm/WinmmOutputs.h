#pragma once

#include "midi/OutputProvider.h"

// The machine's MIDI outputs as winmm lists them: device -1 is the MIDI
// Mapper, the system's own synth; 0..N-1 the devices midiOutGetNumDevs counts.
class WinmmOutputs : public OutputProvider {
public:
    std::vector<std::string> deviceNames() override;
    std::unique_ptr<MidiOutput> open(int deviceId) override;
};
