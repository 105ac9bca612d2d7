#include "SystemOutputs.h"

#include <thread>

#include "audio/jack/JackMidiLink.h"
#include "audio/jack/JackSession.h"
#include "log/OutputLog.h"
#include "midi/ports/PortOutput.h"
#include "midi/synth/SynthOutput.h"

namespace {

// A JACK server that answers lists its ports in tens of milliseconds.
constexpr std::chrono::seconds portListDeadline { 1 };
// At shut-down, a JACK port let go of just now: enough for a server that
// answers, little beside the half second that closing may take.
constexpr std::chrono::milliseconds jackPortFinish { 150 };

} // namespace

SystemOutputs::SystemOutputs(SoundfontSearch search, std::vector<PortApi> portApis)
    : search_(std::move(search))
    , portApis_(std::move(portApis))
{
}

SystemOutputs::~SystemOutputs()
{
    if (preparedSynth_.valid())
        preparedSynth_.wait();
    JackMidiLink::finish(jackPortFinish);
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
    portsAsked_ = std::chrono::steady_clock::now();
    // Never joined: on a JACK server that hangs it may wait for ever, and
    // must hold back neither the window nor the end of the program.
    std::thread([listed = std::move(listed), apis = portApis_, synthTried = synthTried_]() mutable {
        const auto jack = JackSession::join();
        listed.set_value(listPorts(jack.get(), apis));
        if (synthTried.valid())
            synthTried.wait();
    }).detach();
}

std::vector<std::string> SystemOutputs::deviceNames()
{
    if (!preparedPorts_.valid())
        preparePorts();
    if (preparedPorts_.wait_until(portsAsked_ + portListDeadline) == std::future_status::ready) {
        ports_ = preparedPorts_.get();
    } else {
        qCInfo(outputLog, "jack: no answer while listing the ports; listing the others");
        std::vector<PortApi> others;
        for (PortApi api : portApis_)
            if (api != PortApi::Jack)
                others.push_back(api);
        ports_ = listPorts(nullptr, others);
    }
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
