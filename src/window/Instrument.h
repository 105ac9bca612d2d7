#pragma once

#include <cstdint>

class MidiPort;

// What the window plays on: the open output port and the channel and
// velocity of the notes it sends.
class Instrument {
public:
    explicit Instrument(MidiPort& port);

    // Closes the open output, then opens device `id` (-1 the MIDI mapper).
    // False when that failed: nothing is open then.
    bool open(int32_t id);
    void close();

    void NoteOn(int16_t keyIndex);
    void NoteOff(int16_t keyIndex);

    int32_t deviceId = 0;
    int32_t hMidiOut = 0;
    int16_t channel = 0;
    int16_t velocity = 0;

private:
    MidiPort& port_;
};
