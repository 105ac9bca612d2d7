#include "window/KeyPitch.h"

#include "midi/MidiMessage.h"
#include "window/KeyGrid.h"

static_assert(midi::noteOfKey(0) % 12 == 0, "the grid starts on a C");

std::string pitchName(int keyIndex)
{
    const int note = midi::noteOfKey(keyIndex);
    // The n-th white key from the octave's C has the n-th letter; a black
    // key has the letter of the white key to its left, sharpened.
    int whites = 0;
    for (int i = keyIndex - note % 12; i <= keyIndex; ++i)
        whites += keyGrid[static_cast<size_t>(i)].kind == KeyKind::White;
    std::string name(1, "CDEFGAB"[whites - 1]);
    if (keyGrid[static_cast<size_t>(keyIndex)].kind == KeyKind::Black)
        name += "\u266F";
    return name + std::to_string(note / 12 - 1);
}
