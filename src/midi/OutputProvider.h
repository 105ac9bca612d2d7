#pragma once

#include <memory>
#include <string>
#include <vector>

#include "midi/MidiOutput.h"

// Knows which outputs exist and opens them. Device id -1 is the built-in
// synth; 0..N-1 are the devices in enumeration order.
class OutputProvider {
public:
    virtual ~OutputProvider() = default;

    virtual std::vector<std::string> deviceNames() = 0;

    // Returns null when the device cannot be opened.
    virtual std::unique_ptr<MidiOutput> open(int deviceId) = 0;
};
