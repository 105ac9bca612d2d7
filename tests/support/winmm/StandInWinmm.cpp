// The tests' stand-in for winmm.dll: the MIDI output functions the program
// calls, over a made-up device list, each call written to a log with its time.
// Wine loads it from the program's folder under WINEDLLOVERRIDES="winmm=n,b".
//
// WINMM_STANDIN_DEVICES  names separated by "|". "!Name" refuses to open;
//                        "Name~N" vanishes after N messages: later writes and
//                        opens fail.
//                        The MIDI Mapper always opens, as Windows' own synth does.
// WINMM_STANDIN_LOG      the log, one line per call:
//                        <microseconds> <function> <result> <arguments...>
#define _WINMM_
#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int mapper = -1;

struct Device {
    std::string name;
    bool opens = true;
    long messagesUntilGone = -1; // never
    long sent = 0;
    bool gone() const { return sent == messagesUntilGone; }
};

struct Port {
    int device;
};

struct StandIn {
    std::vector<Device> devices;
    std::map<UINT_PTR, Port> ports;
    UINT_PTR lastHandle = 0x100;
    FILE* log = nullptr;

    StandIn()
    {
        const char* list = std::getenv("WINMM_STANDIN_DEVICES");
        for (std::string rest = list ? list : ""; !rest.empty();) {
            const size_t end = std::min(rest.find('|'), rest.size());
            Device device { rest.substr(0, end) };
            rest.erase(0, end + 1);
            if (device.name.starts_with('!')) {
                device.opens = false;
                device.name.erase(0, 1);
            }
            if (const size_t tilde = device.name.rfind('~'); tilde != std::string::npos) {
                device.messagesUntilGone = std::atol(device.name.c_str() + tilde + 1);
                device.name.erase(tilde);
            }
            devices.push_back(device);
        }
        if (const char* path = std::getenv("WINMM_STANDIN_LOG"))
            log = std::fopen(path, "ab");
    }

    void write(const char* function, MMRESULT result, const std::string& args)
    {
        LARGE_INTEGER now, frequency;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        if (!log)
            return;
        std::fprintf(log, "%lld %s %u%s\n", now.QuadPart * 1000000 / frequency.QuadPart, function, result,
            args.c_str());
        std::fflush(log);
    }
};

StandIn& standIn()
{
    static StandIn instance;
    return instance;
}

std::string fields(std::initializer_list<long long> values)
{
    std::string text;
    for (long long value : values) {
        text += ' ';
        text += std::to_string(value);
    }
    return text;
}

} // namespace

UINT WINAPI midiOutGetNumDevs()
{
    auto& s = standIn();
    const auto count = static_cast<UINT>(s.devices.size());
    s.write("midiOutGetNumDevs", count, "");
    return count;
}

MMRESULT WINAPI midiOutGetDevCapsA(UINT_PTR id, LPMIDIOUTCAPSA caps, UINT size)
{
    auto& s = standIn();
    MMRESULT result = MMSYSERR_NOERROR;
    if (id >= s.devices.size())
        result = MMSYSERR_BADDEVICEID;
    else if (!caps || size < sizeof(MIDIOUTCAPSA))
        result = MMSYSERR_INVALPARAM;
    else {
        std::memset(caps, 0, size);
        // As a driver may: a name of 32 bytes or more fills the field, with no NUL.
        const std::string& name = s.devices[id].name;
        std::memcpy(caps->szPname, name.data(), std::min(name.size(), sizeof caps->szPname));
    }
    s.write("midiOutGetDevCapsA", result, fields({ static_cast<long long>(id), size }));
    return result;
}

MMRESULT WINAPI midiOutOpen(LPHMIDIOUT handle, UINT id, DWORD_PTR, DWORD_PTR, DWORD flags)
{
    auto& s = standIn();
    const int device = static_cast<int>(id);
    MMRESULT result = MMSYSERR_NOERROR;
    if (device != mapper && (device < 0 || device >= static_cast<int>(s.devices.size())))
        result = MMSYSERR_BADDEVICEID;
    else if (device != mapper && !s.devices[static_cast<size_t>(device)].opens)
        result = MMSYSERR_ALLOCATED;
    else if (device != mapper && s.devices[static_cast<size_t>(device)].gone())
        result = MMSYSERR_NODRIVER;
    UINT_PTR value = 0;
    if (result == MMSYSERR_NOERROR) {
        value = ++s.lastHandle;
        s.ports[value] = { device };
        *handle = reinterpret_cast<HMIDIOUT>(value);
    }
    s.write("midiOutOpen", result, fields({ device, static_cast<long long>(value), flags }));
    return result;
}

MMRESULT WINAPI midiOutClose(HMIDIOUT handle)
{
    auto& s = standIn();
    const auto value = reinterpret_cast<UINT_PTR>(handle);
    const MMRESULT result = s.ports.erase(value) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
    s.write("midiOutClose", result, fields({ static_cast<long long>(value) }));
    return result;
}

MMRESULT WINAPI midiOutShortMsg(HMIDIOUT handle, DWORD message)
{
    auto& s = standIn();
    const auto value = reinterpret_cast<UINT_PTR>(handle);
    const auto port = s.ports.find(value);
    if (port == s.ports.end()) {
        s.write(
            "midiOutShortMsg", MMSYSERR_INVALHANDLE, fields({ static_cast<long long>(value), 0, message }));
        return MMSYSERR_INVALHANDLE;
    }
    const int device = port->second.device;
    MMRESULT result = MMSYSERR_NOERROR;
    if (device != mapper) {
        Device& d = s.devices[static_cast<size_t>(device)];
        result = d.gone() ? MMSYSERR_NODRIVER : MMSYSERR_NOERROR;
        d.sent += result == MMSYSERR_NOERROR;
    }
    s.write("midiOutShortMsg", result, fields({ static_cast<long long>(value), device, message }));
    return result;
}
