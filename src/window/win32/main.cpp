#include <windows.h>

#include <objbase.h>

#include <memory>

#include "midi/MidiPort.h"
#include "midi/winmm/WinmmOutputs.h"
#include "window/win32/Win32Form.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    // For the accessibility service that tells screen readers the velocity.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    MidiPort port(std::make_unique<WinmmOutputs>());
    Win32Form form(port, instance);
    if (!form.create(show))
        return 1;
    return form.run();
}
