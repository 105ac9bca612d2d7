#pragma once

#include <windows.h>

#include <mmsystem.h>

#include <memory>

#include "midi/MidiOutput.h"

// One device opened through winmm: no callback, no buffers, short messages only.
class WinmmOutput : public MidiOutput {
public:
    // Null when midiOutOpen refuses; id -1 is the MIDI Mapper.
    static std::unique_ptr<WinmmOutput> open(int deviceId);
    ~WinmmOutput() override;

    WinmmOutput(const WinmmOutput&) = delete;
    WinmmOutput& operator=(const WinmmOutput&) = delete;

    // winmm's own result: non-zero when the device is gone.
    int send(uint32_t value) override;

private:
    explicit WinmmOutput(HMIDIOUT handle)
        : handle_(handle)
    {
    }

    HMIDIOUT handle_;
};
