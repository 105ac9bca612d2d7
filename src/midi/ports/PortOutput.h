#pragma once

#include <memory>
#include <string>
#include <vector>

#include "midi/MidiOutput.h"
#include "midi/ports/PortInfo.h"

class JackMidiLink;
class JackSession;
class RtMidiOut;

// Every writable port of the given APIs that are available, in their order;
// the JACK ports as `jack` sees them, none when it is null.
std::vector<PortInfo> listPorts(const JackSession* jack, const std::vector<PortApi>& apis = allPortApis);

// One external MIDI port: an ALSA sequencer port through RtMidi, or a JACK
// port through the program's JACK client.
class PortOutput : public MidiOutput {
public:
    // Null when the port is no longer there or refuses the connection.
    static std::unique_ptr<PortOutput> open(const PortInfo& port);

    ~PortOutput() override;
    int send(uint32_t value) override;
    bool waitingForDevice() const override;

private:
    PortOutput() = default;
    static std::unique_ptr<PortOutput> openJack(const std::string& name);

    std::unique_ptr<RtMidiOut> out_;
    std::unique_ptr<JackMidiLink> jack_;
    bool failed_ = false;
};
