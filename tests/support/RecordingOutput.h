#pragma once

#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "midi/MidiMessage.h"
#include "midi/MidiOutput.h"
#include "midi/MidiPort.h"
#include "midi/OutputProvider.h"

// What the tests read back: every value sent, the device it went to and when.
struct Recording {
    struct Message {
        int deviceId;
        uint32_t value;
        std::chrono::steady_clock::time_point time;
    };
    std::vector<Message> messages;
    int opens = 0;
    int closes = 0;

    std::vector<uint32_t> values() const;
    // The notes left sounding, as (device, channel, note): those struck and not ended since.
    std::set<std::tuple<int, int, int>> sounding() const;
    void clear() { messages.clear(); }
};

// Keeps every value sent instead of playing it.
class RecordingOutput : public MidiOutput {
public:
    RecordingOutput(std::shared_ptr<Recording> recording, int deviceId);
    ~RecordingOutput() override;
    int send(uint32_t value) override;

private:
    std::shared_ptr<Recording> recording_;
    int deviceId_;
};

// Opens recording outputs for a made-up device list; ids in `failing` refuse to open.
class RecordingProvider : public OutputProvider {
public:
    explicit RecordingProvider(std::shared_ptr<Recording> recording, std::vector<std::string> names = {},
        std::set<int> failing = {});

    std::vector<std::string> deviceNames() override { return names_; }
    std::unique_ptr<MidiOutput> open(int deviceId) override;

    std::set<int> failing;

private:
    std::shared_ptr<Recording> recording_;
    std::vector<std::string> names_;
};

// A MidiPort on a RecordingProvider, for a test to hand to the window.
struct RecordingPort {
    explicit RecordingPort(std::vector<std::string> deviceNames = {}, std::set<int> failing = {})
        : provider(new RecordingProvider(recording, std::move(deviceNames), std::move(failing)))
        , port(std::unique_ptr<OutputProvider>(provider))
    {
    }
    std::vector<uint32_t> values() const { return recording->values(); }
    std::shared_ptr<Recording> recording = std::make_shared<Recording>();
    RecordingProvider* provider;
    MidiPort port;
};

inline uint32_t on(int note, int channel = 0, int velocity = 127)
{
    return midi::noteOnValue(note, channel, velocity);
}

inline uint32_t off(int note, int channel = 0)
{
    return midi::noteOffValue(note, channel);
}
