#pragma once

#include <future>
#include <memory>

#include "midi/MidiOutput.h"

class AudioOutput;
class SynthEngine;
struct SoundfontSearch;

// The built-in General MIDI synth playing through the desktop's audio.
class SynthOutput : public MidiOutput {
public:
    // Null when no soundfont loads or no audio output opens.
    static std::unique_ptr<SynthOutput> open(const SoundfontSearch& search);

    ~SynthOutput() override;
    int send(uint32_t value) override;

private:
    explicit SynthOutput(std::unique_ptr<SynthEngine> engine);

    // Declared after the engine so the audio stops before the synth goes.
    std::unique_ptr<SynthEngine> engine_;
    std::unique_ptr<AudioOutput> audio_;
    // Waited for by the first note; goes before the audio and the engine.
    std::future<void> programsSelected_;
};
