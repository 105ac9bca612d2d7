#include <windows.h>

#include <memory>
#include <string>

#include "midi/MidiPort.h"
#include "midi/winmm/WinmmOutputs.h"

namespace {

std::wstring wideFromUtf8(const std::string& text)
{
    const int length
        = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

} // namespace

// Until the keyboard window comes to Windows, the program opens the MIDI
// Mapper as the window will at start, and shows what it found.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    MidiPort port(std::make_unique<WinmmOutputs>());
    int32_t hMidiOut = 0;
    if (port.open(-1, hMidiOut) != 0) {
        MessageBoxW(nullptr, L"不能打开midi输出！", nullptr, MB_OK);
        return 0;
    }
    std::wstring devices = L"MIDI Mapper";
    for (int i = 0; i < port.deviceCount(); ++i)
        devices += L"\n" + wideFromUtf8(port.deviceName(i));
    MessageBoxW(nullptr, devices.c_str(), L"Tonvelo", MB_OK);
    port.close(hMidiOut);
    return 0;
}
