#include "RecordingOutput.h"

std::vector<uint32_t> Recording::values() const
{
    std::vector<uint32_t> result;
    result.reserve(messages.size());
    for (const auto& m : messages)
        result.push_back(m.value);
    return result;
}

std::set<std::tuple<int, int, int>> Recording::sounding() const
{
    std::set<std::tuple<int, int, int>> notes;
    for (const auto& m : messages) {
        const auto note = std::tuple(m.deviceId, int(m.value & 0x0F), int((m.value >> 8) & 0x7F));
        if ((m.value & 0xF0) == 0x90 && (m.value >> 16) != 0)
            notes.insert(note);
        else if ((m.value & 0xF0) == 0x80 || (m.value & 0xF0) == 0x90)
            notes.erase(note);
    }
    return notes;
}

RecordingOutput::RecordingOutput(std::shared_ptr<Recording> recording, int deviceId)
    : recording_(std::move(recording))
    , deviceId_(deviceId)
{
    ++recording_->opens;
}

RecordingOutput::~RecordingOutput()
{
    ++recording_->closes;
}

int RecordingOutput::send(uint32_t value)
{
    recording_->messages.push_back({ deviceId_, value, std::chrono::steady_clock::now() });
    return 0;
}

RecordingProvider::RecordingProvider(
    std::shared_ptr<Recording> recording, std::vector<std::string> names, std::set<int> failingIds)
    : failing(std::move(failingIds))
    , recording_(std::move(recording))
    , names_(std::move(names))
{
}

std::unique_ptr<MidiOutput> RecordingProvider::open(int deviceId)
{
    if (failing.count(deviceId) || deviceId < -1 || deviceId >= static_cast<int>(names_.size()))
        return nullptr;
    return std::make_unique<RecordingOutput>(recording_, deviceId);
}
