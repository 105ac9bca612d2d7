// The tests' stand-in for winmm.dll: the MIDI output functions the program
// calls, over a made-up device list, each call written to a log with its time.
// Wine loads it from the program's folder under WINEDLLOVERRIDES="winmm=n,b".
//
// WINMM_STANDIN_DEVICES  names separated by "|". "!Name" refuses to open;
//                        "Name~N" vanishes after N messages: later writes fail.
//                        The MIDI Mapper always opens, as Windows' own synth does.
// WINMM_STANDIN_LOG      the log, one line per call:
//                        <microseconds> <function> <result> <arguments...>
#define _WINMM_
#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <cstdarg>
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
    long messagesUntilGone = -1; // -1: never goes
};

struct Port {
    int device;
    long sent = 0;
};

std::string environment(const char* name)
{
    char value[4096];
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

std::vector<Device> readDevices()
{
    std::vector<Device> devices;
    const std::string list = environment("WINMM_STANDIN_DEVICES");
    for (size_t start = 0; start < list.size();) {
        size_t end = list.find('|', start);
        if (end == std::string::npos)
            end = list.size();
        Device device { list.substr(start, end - start) };
        if (!device.name.empty() && device.name[0] == '!') {
            device.opens = false;
            device.name.erase(0, 1);
        }
        if (const size_t tilde = device.name.rfind('~'); tilde != std::string::npos) {
            device.messagesUntilGone = std::strtol(device.name.c_str() + tilde + 1, nullptr, 10);
            device.name.erase(tilde);
        }
        devices.push_back(device);
        start = end + 1;
    }
    return devices;
}

class StandIn {
public:
    StandIn()
        : devices_(readDevices())
    {
        QueryPerformanceFrequency(&frequency_);
        const std::string path = environment("WINMM_STANDIN_LOG");
        if (!path.empty())
            log_ = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    void write(const char* format, ...)
    {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        char line[256];
        int length = std::snprintf(line, sizeof line, "%lld ", now.QuadPart * 1000000 / frequency_.QuadPart);
        va_list args;
        va_start(args, format);
        length += std::vsnprintf(line + length, sizeof line - static_cast<size_t>(length) - 1, format, args);
        va_end(args);
        line[length++] = '\n';
        DWORD written = 0;
        if (log_ != INVALID_HANDLE_VALUE)
            WriteFile(log_, line, static_cast<DWORD>(length), &written, nullptr);
    }

    std::vector<Device> devices_;
    std::map<UINT_PTR, Port> ports_;
    UINT_PTR lastHandle_ = 0x100;

private:
    LARGE_INTEGER frequency_ {};
    HANDLE log_ = INVALID_HANDLE_VALUE;
};

StandIn& standIn()
{
    static StandIn instance;
    return instance;
}

} // namespace

UINT WINAPI midiOutGetNumDevs()
{
    auto& s = standIn();
    const auto count = static_cast<UINT>(s.devices_.size());
    s.write("midiOutGetNumDevs %u", count);
    return count;
}

MMRESULT WINAPI midiOutGetDevCapsA(UINT_PTR id, LPMIDIOUTCAPSA caps, UINT size)
{
    auto& s = standIn();
    MMRESULT result = MMSYSERR_NOERROR;
    if (id >= s.devices_.size())
        result = MMSYSERR_BADDEVICEID;
    else if (!caps || size < sizeof(MIDIOUTCAPSA))
        result = MMSYSERR_INVALPARAM;
    else {
        std::memset(caps, 0, size);
        caps->wTechnology = MOD_MIDIPORT;
        // As a driver may: a name of 32 bytes or more fills the field, with no NUL.
        const std::string& name = s.devices_[id].name;
        std::memcpy(caps->szPname, name.data(), std::min(name.size(), sizeof caps->szPname));
    }
    s.write("midiOutGetDevCapsA %u %llu %u", result, static_cast<unsigned long long>(id), size);
    return result;
}

MMRESULT WINAPI midiOutOpen(LPHMIDIOUT handle, UINT id, DWORD_PTR, DWORD_PTR, DWORD flags)
{
    auto& s = standIn();
    const int device = static_cast<int>(id);
    MMRESULT result = MMSYSERR_NOERROR;
    if (device != mapper && (device < 0 || device >= static_cast<int>(s.devices_.size())))
        result = MMSYSERR_BADDEVICEID;
    else if (device != mapper && !s.devices_[static_cast<size_t>(device)].opens)
        result = MMSYSERR_ALLOCATED;
    else if (!handle)
        result = MMSYSERR_INVALPARAM;
    UINT_PTR value = 0;
    if (result == MMSYSERR_NOERROR) {
        value = ++s.lastHandle_;
        s.ports_[value] = { device };
        *handle = reinterpret_cast<HMIDIOUT>(value);
    }
    s.write("midiOutOpen %u %d %llu %lu", result, device, static_cast<unsigned long long>(value), flags);
    return result;
}

MMRESULT WINAPI midiOutClose(HMIDIOUT handle)
{
    auto& s = standIn();
    const auto value = reinterpret_cast<UINT_PTR>(handle);
    const MMRESULT result = s.ports_.erase(value) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
    s.write("midiOutClose %u %llu", result, static_cast<unsigned long long>(value));
    return result;
}

MMRESULT WINAPI midiOutShortMsg(HMIDIOUT handle, DWORD message)
{
    auto& s = standIn();
    const auto value = reinterpret_cast<UINT_PTR>(handle);
    const auto port = s.ports_.find(value);
    MMRESULT result = MMSYSERR_NOERROR;
    int device = 0;
    if (port == s.ports_.end())
        result = MMSYSERR_INVALHANDLE;
    else {
        device = port->second.device;
        const long until = device == mapper ? -1 : s.devices_[static_cast<size_t>(device)].messagesUntilGone;
        if (until >= 0 && port->second.sent >= until)
            result = MMSYSERR_NODRIVER;
        else
            ++port->second.sent;
    }
    s.write(
        "midiOutShortMsg %u %llu %d %lu", result, static_cast<unsigned long long>(value), device, message);
    return result;
}
