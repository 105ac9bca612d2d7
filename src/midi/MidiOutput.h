#pragma once

#include <cstdint>

// One open MIDI output: the built-in synth, an external port, or the
// recording output of the tests. MidiPort owns whichever is open.
class MidiOutput {
public:
    virtual ~MidiOutput() = default;

    // Sends one short message value; 0 on success.
    virtual int send(uint32_t value) = 0;
};
