#include "midi/winmm/WinmmOutputs.h"

#include <windows.h>

#include <mmsystem.h>

#include "midi/winmm/AnsiName.h"
#include "midi/winmm/WinmmOutput.h"

// The record the program asks winmm to fill, byte for byte.
static_assert(sizeof(MIDIOUTCAPSA) == 52);

std::vector<std::string> WinmmOutputs::deviceNames()
{
    std::vector<std::string> names;
    const UINT count = midiOutGetNumDevs();
    for (UINT i = 0; i < count; ++i) {
        // A device that fails to answer keeps an empty name, as the zeroed record has.
        MIDIOUTCAPSA caps {};
        midiOutGetDevCapsA(i, &caps, sizeof caps);
        names.push_back(utf8FromAnsi(caps.szPname, sizeof caps.szPname));
    }
    return names;
}

std::unique_ptr<MidiOutput> WinmmOutputs::open(int deviceId)
{
    return WinmmOutput::open(deviceId);
}
