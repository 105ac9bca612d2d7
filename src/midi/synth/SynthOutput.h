#pragma once

#include <future>
#include <memory>

#include "midi/MidiOutput.h"

class PlaybackSupervisor;
class SynthEngine;
struct SoundfontSearch;

// The built-in General MIDI synth playing through the desktop's audio.
class SynthOutput : public MidiOutput {
public:
    // Null when no soundfont loads. When no sound server takes the synth in
    // time, it still comes back, waiting: it plays once a server is there.
    static std::unique_ptr<SynthOutput> open(const SoundfontSearch& search);

    ~SynthOutput() override;
    int send(uint32_t value) override;
    bool waitingForDevice() const override { return waiting_; }

private:
    explicit SynthOutput(std::shared_ptr<SynthEngine> engine);

    // Shared with the threads that open and close its playbacks, which
    // may outlive this object on a server that hangs.
    std::shared_ptr<SynthEngine> engine_;
    std::unique_ptr<PlaybackSupervisor> supervisor_;
    bool waiting_ = false;
    // Waited for by the first note; goes before the audio and the engine.
    std::future<void> programsSelected_;
};
