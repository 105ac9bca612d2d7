#pragma once

#include <cstdint>

// One open MIDI output: the built-in synth, an external port, or the
// recording output of the tests. MidiPort owns whichever is open.
class MidiOutput {
public:
    virtual ~MidiOutput() = default;

    // Sends one short message value; 0 on success.
    virtual int send(uint32_t value) = 0;
    // True when the open found no device to play on yet, but the output
    // stays to play once one appears: the open still counts as failed.
    virtual bool waitingForDevice() const { return false; }
};
