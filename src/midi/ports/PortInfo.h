#pragma once

#include <string>
#include <vector>

// The MIDI APIs whose ports the device menu lists, in listing order.
enum class PortApi { Alsa, Jack };

inline const std::vector<PortApi> allPortApis { PortApi::Alsa, PortApi::Jack };

struct PortInfo {
    PortApi api;
    std::string name;
};
