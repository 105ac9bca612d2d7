#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "midi/MidiOutput.h"
#include "midi/OutputProvider.h"

// The one MIDI output of the program, addressed through small integer
// handles: open hands one out, close and send take it back. Handle 0 means
// nothing is open. At most one output is open at any time.
class MidiPort {
public:
    explicit MidiPort(std::unique_ptr<OutputProvider> provider);
    ~MidiPort();

    MidiPort(const MidiPort&) = delete;
    MidiPort& operator=(const MidiPort&) = delete;

    int deviceCount();
    std::string deviceName(int index);

    // 0 on success, with the new handle stored in `handle`.
    int open(int32_t deviceId, int32_t& handle);
    int close(int32_t handle);
    int send(int32_t handle, uint32_t value);

    bool isOpen() const { return output_ != nullptr; }

private:
    const std::vector<std::string>& names();

    std::unique_ptr<OutputProvider> provider_;
    std::vector<std::string> names_;
    bool listed_ = false;
    std::unique_ptr<MidiOutput> output_;
    int32_t handle_ = 0;
    int32_t lastHandle_ = 0;
};
