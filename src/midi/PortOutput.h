#pragma once

#include <memory>
#include <string>
#include <vector>

#include <RtMidi.h>

#include "midi/MidiOutput.h"

// The MIDI APIs whose ports the device menu lists, in listing order.
enum class PortApi { Alsa, Jack };

struct PortInfo {
    PortApi api;
    std::string name;
};

class JackGraphReader;

// Every writable port of every available API, ALSA first, then JACK.
std::vector<PortInfo> listPorts(const JackGraphReader& jack);

// One external MIDI port, connected through RtMidi.
class PortOutput : public MidiOutput {
public:
    // Null when the port is no longer there or refuses the connection.
    static std::unique_ptr<PortOutput> open(const PortInfo& port);

    ~PortOutput() override;
    int send(uint32_t value) override;

private:
    PortOutput() = default;

    std::unique_ptr<RtMidiOut> out_;
    bool failed_ = false;
};
