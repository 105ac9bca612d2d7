// Lists the devices through the program's own MIDI code, then opens each
// device id given on the command line and plays middle C on it: what winmm
// (or the tests' stand-in) sees is what the program sends.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cwchar>
#include <memory>

#include "midi/MidiMessage.h"
#include "midi/MidiPort.h"
#include "midi/winmm/WinmmOutputs.h"

int wmain(int argc, wchar_t** argv)
{
    // UTF-8 as it is, and no CR before each LF.
    _setmode(_fileno(stdout), _O_BINARY);
    MidiPort port(std::make_unique<WinmmOutputs>());
    for (int i = 0; i < port.deviceCount(); ++i)
        std::printf("device %d %s\n", i, port.deviceName(i).c_str());
    for (int arg = 1; arg < argc; ++arg) {
        const int id = static_cast<int>(std::wcstol(argv[arg], nullptr, 10));
        int32_t handle = 0;
        std::printf("open %d %d\n", id, port.open(id, handle));
        const int note = midi::noteOfKey(12);
        std::printf("send %d %d\n", id, port.send(handle, midi::noteOnValue(note, 0, 127)));
        std::printf("send %d %d\n", id, port.send(handle, midi::noteOffValue(note, 0)));
        std::printf("close %d %d\n", id, port.close(handle));
    }
    return 0;
}
