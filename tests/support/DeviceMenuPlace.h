#pragma once

#include <algorithm>
#include <string>

#include "audio/jack/JackSession.h"
#include "midi/ports/PortOutput.h"

// Where a port stands in the running program's device menu, found the way the
// program lists the ports of this machine: a desktop's ALSA sequencer ports
// come before the JACK ports of the test's own server.
struct DeviceMenuPlace {
    int entry = -1; // -1 when the port is not listed
    int entries = 1;

    explicit DeviceMenuPlace(const std::string& portName)
    {
        const auto jack = JackSession::join();
        const auto ports = listPorts(jack.get());
        const int shown = std::min(static_cast<int>(ports.size()), 10);
        entries = 1 + shown; // "MIDI Mapper" first
        for (int i = 0; i < shown; ++i)
            if (ports[static_cast<size_t>(i)].name == portName)
                entry = 1 + i;
    }
};
