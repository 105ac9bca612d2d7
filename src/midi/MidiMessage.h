#pragma once

#include <array>
#include <cstdint>

// A MIDI short message packed into one 32-bit value: status byte in bits
// 0-7, first data byte in bits 8-15, second data byte in bits 16-23.
namespace midi {

constexpr int firstNote = 48; // the note of key index 0

constexpr int noteOfKey(int keyIndex)
{
    return keyIndex + firstNote;
}

constexpr uint32_t noteOnValue(int note, int channel, int velocity)
{
    return static_cast<uint32_t>(velocity * 65536 + note * 256 + 144 + channel);
}

// A note-off always carries velocity 0, whatever the current velocity.
constexpr uint32_t noteOffValue(int note, int channel)
{
    return static_cast<uint32_t>(note * 256 + 128 + channel);
}

constexpr std::array<uint8_t, 3> bytesOf(uint32_t value)
{
    return { static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>((value >> 8) & 0xFF),
        static_cast<uint8_t>((value >> 16) & 0xFF) };
}

// Number of bytes a short message with this status byte carries.
constexpr int messageLength(uint8_t status)
{
    switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
        return 2;
    case 0xF0:
        return status == 0xF1 || status == 0xF3 ? 2 : status == 0xF2 ? 3 : 1;
    default:
        return 3;
    }
}

} // namespace midi
