#include "midi/ports/PortOutput.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include <RtMidi.h>

#include "midi/MidiMessage.h"
#include "midi/log/OutputLog.h"
#include "midi/log/QuietLibraries.h"
#include "midi/ports/JackGraph.h"

namespace {

constexpr const char* clientName = "Tonvelo";

RtMidi::Api rtApi(PortApi api)
{
    return api == PortApi::Alsa ? RtMidi::LINUX_ALSA : RtMidi::UNIX_JACK;
}

// RtMidi reports some failures through this callback instead of throwing,
// on the thread that called it: the GUI's.
void flagError(RtMidiError::Type type, const std::string& text, void* failed)
{
    qCInfo(outputLog, "rtmidi: %s", text.c_str());
    if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING)
        *static_cast<bool*>(failed) = true;
}

bool apiCompiled(PortApi api)
{
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    return std::find(apis.begin(), apis.end(), rtApi(api)) != apis.end();
}

// Without a sequencer device RtMidi throws and libasound writes to stderr.
bool alsaSequencerPresent()
{
    std::error_code ec;
    return std::filesystem::exists("/dev/snd/seq", ec);
}

// An RtMidi output of one API with errors routed to `failed`, or null.
// RtMidi's JACK backend complains on stderr and leaks its buffers when no
// server runs: the caller asks JACK first, quietly.
std::unique_ptr<RtMidiOut> makeOut(PortApi api, bool* failed)
{
    if (!apiCompiled(api) || (api == PortApi::Alsa && !alsaSequencerPresent()))
        return nullptr;
    quietSoundLibraries();
    try {
        auto out = std::make_unique<RtMidiOut>(rtApi(api), clientName);
        out->setErrorCallback(flagError, failed);
        return out;
    } catch (const RtMidiError& error) {
        qCInfo(outputLog, "rtmidi: %s", error.what());
        return nullptr;
    }
}

std::vector<std::string> portNames(RtMidiOut& out, bool& failed)
{
    std::vector<std::string> names;
    try {
        const unsigned count = out.getPortCount();
        for (unsigned i = 0; i < count && !failed; ++i)
            names.push_back(out.getPortName(i));
    } catch (const RtMidiError&) {
        failed = true;
    }
    if (failed)
        names.clear();
    return names;
}

} // namespace

std::vector<PortInfo> listPorts(const JackGraphReader* jack, const std::vector<PortApi>& apis)
{
    std::vector<PortInfo> ports;
    for (PortApi api : apis) {
        if (api == PortApi::Alsa) {
            bool failed = false;
            if (auto out = makeOut(PortApi::Alsa, &failed))
                for (auto& name : portNames(*out, failed))
                    ports.push_back({ PortApi::Alsa, std::move(name) });
        } else if (jack && apiCompiled(PortApi::Jack)) {
            // One JACK client lists the JACK ports under the names RtMidi
            // gives them; RtMidi would open a second one just to list them,
            // and each JACK client costs tens of milliseconds at start-up.
            for (auto& name : jack->midiInputs())
                ports.push_back({ PortApi::Jack, std::move(name) });
        }
    }
    return ports;
}

std::unique_ptr<PortOutput> PortOutput::open(const PortInfo& port)
{
    // For a JACK port one client of ours asks whether the server runs and
    // then watches for the connection.
    std::optional<JackConnectionWatch> watch;
    if (port.api == PortApi::Jack) {
        watch.emplace(port.name);
        if (!watch->serverAnswers())
            return nullptr;
    }
    std::unique_ptr<PortOutput> output(new PortOutput);
    output->out_ = makeOut(port.api, &output->failed_);
    if (!output->out_)
        return nullptr;
    // Ports may have come and gone since the list was made: find this one by name.
    const auto names = portNames(*output->out_, output->failed_);
    const auto it = std::find(names.begin(), names.end(), port.name);
    if (it == names.end())
        return nullptr;
    try {
        output->out_->openPort(static_cast<unsigned>(it - names.begin()), "out");
    } catch (const RtMidiError& error) {
        qCInfo(outputLog, "rtmidi: %s", error.what());
        return nullptr;
    }
    if (output->failed_ || !output->out_->isPortOpen())
        return nullptr;
    // RtMidi does not check that JACK made the connection; a port that went
    // away just now would look open with nothing behind it.
    if (watch && !watch->waitForNewConnection(std::chrono::milliseconds(1000)))
        return nullptr;
    return output;
}

PortOutput::~PortOutput() = default;

int PortOutput::send(uint32_t value)
{
    failed_ = false;
    const auto bytes = midi::bytesOf(value);
    try {
        out_->sendMessage(bytes.data(), static_cast<size_t>(midi::messageLength(bytes[0])));
    } catch (const RtMidiError&) {
        return 1;
    }
    return failed_ ? 1 : 0;
}
