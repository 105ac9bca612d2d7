#include "midi/MidiPort.h"

MidiPort::MidiPort(std::unique_ptr<OutputProvider> provider)
    : provider_(std::move(provider))
{
}

MidiPort::~MidiPort() = default;

const std::vector<std::string>& MidiPort::names()
{
    // The device list is read once; devices that come and go later are not noticed.
    if (!listed_) {
        names_ = provider_->deviceNames();
        listed_ = true;
    }
    return names_;
}

int MidiPort::deviceCount()
{
    return static_cast<int>(names().size());
}

std::string MidiPort::deviceName(int index)
{
    const auto& list = names();
    if (index < 0 || index >= static_cast<int>(list.size()))
        return {};
    return list[static_cast<size_t>(index)];
}

int MidiPort::open(int32_t deviceId, int32_t& handle)
{
    output_.reset();
    handle_ = 0;
    output_ = provider_->open(deviceId);
    if (!output_)
        return 1;
    handle_ = ++lastHandle_;
    handle = handle_;
    // Reported like any failed open; the output goes on waiting for its
    // device until the handle is closed.
    return output_->waitingForDevice() ? 1 : 0;
}

int MidiPort::close(int32_t handle)
{
    if (handle == 0 || handle != handle_)
        return 1;
    output_.reset();
    handle_ = 0;
    return 0;
}

int MidiPort::send(int32_t handle, uint32_t value)
{
    if (handle == 0 || handle != handle_)
        return 1;
    return output_->send(value);
}
