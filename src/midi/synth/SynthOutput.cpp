#include "midi/synth/SynthOutput.h"

#include "midi/OutputLog.h"
#include "midi/synth/AudioOutput.h"
#include "midi/synth/SynthEngine.h"

SynthOutput::SynthOutput(std::unique_ptr<SynthEngine> engine)
    : engine_(std::move(engine))
{
}

SynthOutput::~SynthOutput() = default;

std::unique_ptr<SynthOutput> SynthOutput::open(const SoundfontSearch& search)
{
    auto engine = std::make_unique<SynthEngine>();
    if (!engine->synth()) {
        qCInfo(outputLog, "synth: FluidSynth did not start");
        return nullptr;
    }
    std::unique_ptr<SynthOutput> output(new SynthOutput(std::move(engine)));

    // Loading the soundfont and opening an audio client each take tens of
    // milliseconds; side by side they hold up the first window less.
    auto loaded = std::async(
        std::launch::async, [&synth = *output->engine_, &search] { return synth.loadSoundfont(search); });
    output->audio_ = openAudioOutput(*output->engine_);
    const bool soundfontLoaded = loaded.get();
    if (!soundfontLoaded)
        qCInfo(outputLog, "synth: no soundfont loaded");
    if (!output->audio_)
        qCInfo(outputLog, "synth: no audio output opened");
    if (!soundfontLoaded || !output->audio_)
        return nullptr;
    // Reading the piano's samples takes milliseconds more: the window need
    // not wait for them, only the first note does.
    output->programsSelected_
        = std::async(std::launch::async, [&synth = *output->engine_] { synth.selectPrograms(); });
    return output;
}

int SynthOutput::send(uint32_t value)
{
    if (programsSelected_.valid())
        programsSelected_.get();
    return engine_->play(value);
}
