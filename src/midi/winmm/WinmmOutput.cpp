#include "midi/winmm/WinmmOutput.h"

std::unique_ptr<WinmmOutput> WinmmOutput::open(int deviceId)
{
    // -1 becomes MIDI_MAPPER, (UINT)-1, as winmm expects it.
    HMIDIOUT handle = nullptr;
    if (midiOutOpen(&handle, static_cast<UINT>(deviceId), 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR)
        return nullptr;
    return std::unique_ptr<WinmmOutput>(new WinmmOutput(handle));
}

WinmmOutput::~WinmmOutput()
{
    midiOutClose(handle_);
}

int WinmmOutput::send(uint32_t value)
{
    return static_cast<int>(midiOutShortMsg(handle_, value));
}
