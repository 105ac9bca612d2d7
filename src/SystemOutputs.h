#pragma once

#include <future>

#include "audio/SoundfontSearch.h"
#include "midi/OutputProvider.h"
#include "midi/ports/PortInfo.h"

// The outputs of the machine: the built-in synth as device -1, then the
// external MIDI ports of the given APIs.
class SystemOutputs : public OutputProvider {
public:
    explicit SystemOutputs(
        SoundfontSearch search = SoundfontSearch::system(), std::vector<PortApi> portApis = allPortApis);
    ~SystemOutputs() override;

    // Starts opening the synth on another thread, so that the soundfont and
    // the audio client load while the window is being built. The next open(-1)
    // takes the result.
    void prepareSynth();
    // Starts listing the external ports on another thread, for the same
    // reason. The next deviceNames() takes the list. Called after
    // prepareSynth(), it holds the program's JACK client open until the synth
    // is ready, so that the synth plays through the same client instead of
    // opening it again.
    void preparePorts();

    // Waits a second at most for the list: a JACK server that hangs leaves
    // its ports out of it.
    std::vector<std::string> deviceNames() override;
    std::unique_ptr<MidiOutput> open(int deviceId) override;

private:
    SoundfontSearch search_;
    std::vector<PortApi> portApis_;
    std::vector<PortInfo> ports_;
    std::future<std::unique_ptr<MidiOutput>> preparedSynth_;
    std::shared_future<void> synthTried_;
    std::future<std::vector<PortInfo>> preparedPorts_;
    std::chrono::steady_clock::time_point portsAsked_;
};
