#include "midi/SystemOutputs.h"

#include "midi/SynthOutput.h"

SystemOutputs::SystemOutputs(SoundfontSearch search) : search_(std::move(search)) {}

SystemOutputs::~SystemOutputs()
{
    if (preparedSynth_.valid())
        preparedSynth_.wait();
    if (preparedPorts_.valid())
        preparedPorts_.wait();
}

void SystemOutputs::prepareSynth()
{
    preparedSynth_ = std::async(std::launch::async, [search = search_]() -> std::unique_ptr<MidiOutput> {
        return SynthOutput::open(search);
    });
}

void SystemOutputs::preparePorts()
{
    preparedPorts_ = std::async(std::launch::async, listPorts);
}

std::vector<std::string> SystemOutputs::deviceNames()
{
    ports_ = preparedPorts_.valid() ? preparedPorts_.get() : listPorts();
    std::vector<std::string> names;
    names.reserve(ports_.size());
    for (const auto& port : ports_)
        names.push_back(port.name);
    return names;
}

std::unique_ptr<MidiOutput> SystemOutputs::open(int deviceId)
{
    if (deviceId == -1) {
        if (preparedSynth_.valid())
            return preparedSynth_.get();
        return SynthOutput::open(search_);
    }
    if (deviceId < 0 || deviceId >= static_cast<int>(ports_.size()))
        return nullptr;
    return PortOutput::open(ports_[static_cast<size_t>(deviceId)]);
}
