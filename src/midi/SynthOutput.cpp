#include "midi/SynthOutput.h"

#include <cstdlib>
#include <future>
#include <set>

#include "midi/QuietLibraries.h"

namespace {

// Desktop sound servers first, then JACK, then the bare sound card.
constexpr const char* driverOrder[] = {"pipewire", "pulseaudio", "jack", "alsa"};

std::set<std::string> availableDrivers(fluid_settings_t* settings)
{
    std::set<std::string> drivers;
    fluid_settings_foreach_option(settings, "audio.driver", &drivers,
                                  [](void* data, const char*, const char* option) {
                                      static_cast<std::set<std::string>*>(data)->insert(option);
                                  });
    return drivers;
}

void configureLowLatency(fluid_settings_t* settings)
{
    // About 5 ms of buffer at 48 kHz: short enough to feel instant, long
    // enough for the demo tune to play without drop-outs.
    fluid_settings_setint(settings, "audio.period-size", 128);
    fluid_settings_setint(settings, "audio.periods", 2);
    fluid_settings_setstr(settings, "audio.jack.id", "Tonvelo");
    fluid_settings_setint(settings, "audio.jack.autoconnect", 1);
    fluid_settings_setstr(settings, "audio.pulseaudio.media-role", "music");
}

} // namespace

SynthOutput::SynthOutput(std::unique_ptr<SynthEngine> engine) : engine_(std::move(engine)) {}

SynthOutput::~SynthOutput() = default;

std::unique_ptr<SynthOutput> SynthOutput::open(const SoundfontSearch& search)
{
    auto engine = std::make_unique<SynthEngine>();
    if (!engine->synth())
        return nullptr;
    // Never start a JACK server of our own just to find out there is none.
#ifndef _WIN32
    setenv("JACK_NO_START_SERVER", "1", 0);
#endif
    quietSoundLibraries();
    fluid_settings_t* settings = engine->settings();
    configureLowLatency(settings);
    const auto drivers = availableDrivers(settings);
    std::unique_ptr<SynthOutput> output(new SynthOutput(std::move(engine)));

    // Loading the soundfont and opening an audio client each take tens of
    // milliseconds; side by side they hold up the first window less.
    auto loaded
        = std::async(std::launch::async, [&synth = *output->engine_, &search] { return synth.loadSoundfont(search); });
    // FluidSynth never falls back to another driver by itself.
    for (const char* name : driverOrder) {
        if (!drivers.count(name))
            continue;
        fluid_settings_setstr(settings, "audio.driver", name);
        output->driver_.reset(new_fluid_audio_driver(settings, output->engine_->synth()));
        if (output->driver_) {
            output->driverName_ = name;
            break;
        }
    }
    if (!loaded.get() || !output->driver_)
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
