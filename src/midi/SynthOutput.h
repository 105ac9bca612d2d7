#pragma once

#include <future>
#include <memory>
#include <string>

#include "midi/MidiOutput.h"
#include "midi/SynthEngine.h"

// The built-in General MIDI synth playing through the desktop's audio.
class SynthOutput : public MidiOutput {
public:
    // Null when no soundfont loads or no audio driver opens.
    static std::unique_ptr<SynthOutput> open(const SoundfontSearch& search);

    ~SynthOutput() override;
    int send(uint32_t value) override;

    const std::string& driverName() const { return driverName_; }

private:
    struct DriverDeleter { void operator()(fluid_audio_driver_t* d) const { delete_fluid_audio_driver(d); } };

    explicit SynthOutput(std::unique_ptr<SynthEngine> engine);

    // Declared after the engine so the driver stops before the synth goes.
    std::unique_ptr<SynthEngine> engine_;
    std::unique_ptr<fluid_audio_driver_t, DriverDeleter> driver_;
    std::string driverName_;
    // Waited for by the first note; goes before the driver and the engine.
    std::future<void> programsSelected_;
};
