#include "midi/SystemOutputs.h"

#include "midi/ports/JackGraph.h"
#include "midi/ports/PortOutput.h"
#include "midi/synth/SynthOutput.h"

SystemOutputs::SystemOutputs(SoundfontSearch search, std::vector<PortApi> portApis)
    : search_(std::move(search))
    , portApis_(std::move(portApis))
{
}

SystemOutputs::~SystemOutputs()
{
    if (preparedSynth_.valid())
        preparedSynth_.wait();
    if (portLister_.joinable())
        portLister_.join();
}

void SystemOutputs::prepareSynth()
{
    std::promise<void> tried;
    synthTried_ = tried.get_future().share();
    preparedSynth_ = std::async(std::launch::async,
        [search = search_, tried = std::move(tried)]() mutable -> std::unique_ptr<MidiOutput> {
            auto synth = SynthOutput::open(search);
            tried.set_value();
            return synth;
        });
}

void SystemOutputs::preparePorts()
{
    std::promise<std::vector<PortInfo>> listed;
    preparedPorts_ = listed.get_future();
    portLister_
        = std::thread([listed = std::move(listed), apis = portApis_, synthTried = synthTried_]() mutable {
              const JackGraphReader jack;
              listed.set_value(listPorts(jack, apis));
              if (synthTried.valid())
                  synthTried.wait();
          });
}

std::vector<std::string> SystemOutputs::deviceNames()
{
    ports_ = preparedPorts_.valid() ? preparedPorts_.get() : listPorts(JackGraphReader(), portApis_);
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
