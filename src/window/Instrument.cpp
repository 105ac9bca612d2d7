#include "window/Instrument.h"

#include "midi/MidiMessage.h"
#include "midi/MidiPort.h"

Instrument::Instrument(MidiPort& port)
    : port_(port)
{
}

bool Instrument::open(int32_t id)
{
    deviceId = id;
    close();
    return port_.open(deviceId, hMidiOut) == 0;
}

void Instrument::close()
{
    port_.close(hMidiOut);
    hMidiOut = 0;
}

void Instrument::NoteOn(int16_t keyIndex)
{
    port_.send(hMidiOut, midi::noteOnValue(midi::noteOfKey(keyIndex), channel, velocity));
}

void Instrument::NoteOff(int16_t keyIndex)
{
    port_.send(hMidiOut, midi::noteOffValue(midi::noteOfKey(keyIndex), channel));
}
