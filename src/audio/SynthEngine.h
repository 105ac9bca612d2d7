#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <fluidsynth.h>

#include "audio/IdleRenderer.h"
#include "audio/RenderGate.h"
#include "audio/SoundfontSearch.h"

// A FluidSynth synth with a soundfont loaded, fed with short message values.
// It makes no sound by itself: SynthOutput plays it through a Playback,
// tests render it into buffers.
class SynthEngine {
public:
    // A synth with no soundfont yet: it can be attached to an audio driver
    // while load() runs on another thread.
    explicit SynthEngine(double sampleRate = 48000.0);
    // Loads the first candidate that FluidSynth accepts; ok() tells whether one did.
    explicit SynthEngine(const SoundfontSearch& search, double sampleRate = 48000.0);
    ~SynthEngine();

    SynthEngine(const SynthEngine&) = delete;
    SynthEngine& operator=(const SynthEngine&) = delete;

    bool load(const SoundfontSearch& search);
    // The two halves of load(): reading the soundfont's list of instruments,
    // then setting the piano on each channel, which reads the piano's samples.
    bool loadSoundfont(const SoundfontSearch& search);
    void selectPrograms();
    bool ok() const { return soundfontId_.load() != FLUID_FAILED; }
    int play(uint32_t value);
    // `rate` when FluidSynth can render at it, else the rate a playback should
    // ask its server to resample from.
    double renderableRate(double rate) const;
    // Renders at renderableRate(rate) from now on, while the gate of the
    // playback that renders the synth is closed. FluidSynth takes its rate only
    // when a synth is made, so a new one at that rate, with the same
    // soundfont, takes this one's place; the keys still pressed sound again on it.
    // False, with the synth as it was, when the new one cannot be made.
    bool setSampleRate(double rate, const RenderGate::Closed& closed);
    // Ends every note but those of keys pressed within `age` and not
    // released since, which sound again: notes played while nothing sounded are lost,
    // not played all at once when a playback is adopted, but a key pressed
    // the moment the playback's ports showed sounds.
    void keepRecent(std::chrono::milliseconds age);
    double sampleRate() const { return sampleRate_; }

    fluid_settings_t* settings() const { return settings_.get(); }
    fluid_synth_t* synth() const { return synth_.get(); }
    // What every playback renders the synth with; play() wakes it.
    IdleRenderer& renderer() { return *renderer_; }

private:
    struct SettingsDeleter {
        void operator()(fluid_settings_t* s) const { delete_fluid_settings(s); }
    };
    struct SynthDeleter {
        void operator()(fluid_synth_t* s) const { delete_fluid_synth(s); }
    };
    using Settings = std::unique_ptr<fluid_settings_t, SettingsDeleter>;
    using Synth = std::unique_ptr<fluid_synth_t, SynthDeleter>;
    struct EventDeleter {
        void operator()(fluid_midi_event_t* e) const { delete_fluid_midi_event(e); }
    };

    Settings settings_;
    Synth synth_;
    std::unique_ptr<fluid_midi_event_t, EventDeleter> event_;
    std::unique_ptr<IdleRenderer> renderer_;
    // Each key pressed and not yet released, per channel; the sending
    // thread's and the supervisor's.
    struct PressedKey {
        uint8_t velocity = 0; // 0 when up
        std::chrono::steady_clock::time_point since;
    };
    static Settings makeSettings(double sampleRate);
    static void selectPiano(fluid_synth_t* synth, int soundfontId);
    void strikePressed();
    // Locked while the soundfont loads, the programs are set or the synth is
    // made anew: those three come from different threads.
    std::mutex buildMutex_;
    std::string soundfontFile_;
    bool programsSelected_ = false;
    // Locked by every call into the synth from outside the rendering thread.
    std::mutex playMutex_;
    std::array<std::array<PressedKey, 128>, 16> pressed_ {};
    // Set under both mutexes; play() reads it under neither.
    std::atomic<int> soundfontId_ { FLUID_FAILED };
    double sampleRate_;
    // What FluidSynth can render at; without settings, any rate.
    double lowestRate_ = 0;
    double highestRate_ = 1e9;
};
