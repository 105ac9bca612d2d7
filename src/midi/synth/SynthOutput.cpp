#include "midi/synth/SynthOutput.h"

#include "audio/PlaybackSupervisor.h"
#include "audio/ServerOrder.h"
#include "audio/SynthEngine.h"
#include "log/OutputLog.h"
#include "midi/MidiMessage.h"

namespace {

// The window waits this long at most for a sound server, whatever the
// servers do; one that answers takes the synth in a fraction of it.
constexpr std::chrono::milliseconds firstTryBudget { 1200 };

} // namespace

SynthOutput::SynthOutput(std::shared_ptr<SynthEngine> engine)
    : engine_(std::move(engine))
{
}

SynthOutput::~SynthOutput() = default;

std::unique_ptr<SynthOutput> SynthOutput::open(const SoundfontSearch& search)
{
    auto engine = std::make_shared<SynthEngine>();
    if (!engine->synth()) {
        qCInfo(outputLog, "synth: FluidSynth did not start");
        return nullptr;
    }
    std::unique_ptr<SynthOutput> output(new SynthOutput(engine));

    // Loading the soundfont and opening an audio client each take tens of
    // milliseconds; side by side they hold up the first window less.
    auto loaded = std::async(std::launch::async, [engine, &search] { return engine->loadSoundfont(search); });
    output->supervisor_ = std::make_unique<PlaybackSupervisor>(engine, serverOrder);
    if (!loaded.get()) {
        qCInfo(outputLog, "synth: no soundfont loaded");
        return nullptr;
    }
    if (!output->supervisor_->waitUntilTried(firstTryBudget)) {
        qCInfo(outputLog, "synth: no audio output opened; it plays once a sound server answers");
        output->waiting_ = true;
    }
    // Reading the piano's samples takes milliseconds more: the window need
    // not wait for them, only the first note does.
    output->programsSelected_ = std::async(std::launch::async, [engine] { engine->selectPrograms(); });
    return output;
}

int SynthOutput::send(uint32_t value)
{
    if (programsSelected_.valid())
        programsSelected_.get();
    // For the tests' logs: when a key reached the synth.
    if (const auto bytes = midi::bytesOf(value); (bytes[0] & 0xF0) == 0x90 && bytes[2] != 0)
        qCDebug(outputLog, "synth: key %d pressed", bytes[1]);
    return engine_->play(value);
}
