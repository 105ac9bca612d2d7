#include "midi/ports/PortOutput.h"

#include <algorithm>
#include <filesystem>

#include <RtMidi.h>

#include "audio/jack/JackMidiLink.h"
#include "audio/jack/JackSession.h"
#include "log/OutputLog.h"
#include "log/QuietLibraries.h"
#include "midi/MidiMessage.h"

namespace {

constexpr const char* clientName = "Tonvelo";

// RtMidi reports some failures through this callback instead of throwing,
// on the thread that called into RtMidi: the GUI's.
void flagError(RtMidiError::Type type, const std::string& text, void* failed)
{
    qCInfo(outputLog, "rtmidi: %s", text.c_str());
    if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING)
        *static_cast<bool*>(failed) = true;
}

bool alsaCompiled()
{
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    return std::find(apis.begin(), apis.end(), RtMidi::LINUX_ALSA) != apis.end();
}

// Without a sequencer device RtMidi throws and libasound writes to stderr.
bool alsaSequencerPresent()
{
    std::error_code ec;
    return std::filesystem::exists("/dev/snd/seq", ec);
}

// An RtMidi output on the ALSA sequencer with errors routed to `failed`, or null.
std::unique_ptr<RtMidiOut> makeOut(bool* failed)
{
    if (!alsaCompiled() || !alsaSequencerPresent())
        return nullptr;
    quietSoundLibraries();
    try {
        auto out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, clientName);
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

std::vector<PortInfo> listPorts(const JackSession* jack, const std::vector<PortApi>& apis)
{
    std::vector<PortInfo> ports;
    for (PortApi api : apis) {
        if (api == PortApi::Alsa) {
            bool failed = false;
            if (auto out = makeOut(&failed))
                for (auto& name : portNames(*out, failed))
                    ports.push_back({ PortApi::Alsa, std::move(name) });
        } else if (jack) {
            for (auto& name : jack->midiInputs())
                ports.push_back({ PortApi::Jack, std::move(name) });
        }
    }
    return ports;
}

std::unique_ptr<PortOutput> PortOutput::open(const PortInfo& port)
{
    if (port.api == PortApi::Jack)
        return openJack(port.name);
    std::unique_ptr<PortOutput> output(new PortOutput);
    output->out_ = makeOut(&output->failed_);
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
    return output;
}

// The program's JACK client carries the messages on a port of its own,
// connected to this one; a port that went away just now never connects. A
// server that does not answer in time leaves the output waiting for it.
std::unique_ptr<PortOutput> PortOutput::openJack(const std::string& name)
{
    std::unique_ptr<PortOutput> output(new PortOutput);
    output->jack_ = std::make_unique<JackMidiLink>(name);
    if (output->jack_->failed())
        return nullptr;
    return output;
}

PortOutput::~PortOutput() = default;

bool PortOutput::waitingForDevice() const
{
    return jack_ && jack_->connecting();
}

int PortOutput::send(uint32_t value)
{
    failed_ = false;
    const auto bytes = midi::bytesOf(value);
    const auto length = static_cast<size_t>(midi::messageLength(bytes[0]));
    if (jack_)
        return jack_->send(bytes.data(), length) ? 0 : 1;
    try {
        out_->sendMessage(bytes.data(), length);
    } catch (const RtMidiError&) {
        return 1;
    }
    return failed_ ? 1 : 0;
}
