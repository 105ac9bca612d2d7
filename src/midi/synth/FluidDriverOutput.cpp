#include "midi/synth/FluidDriverOutput.h"

#include <set>
#include <string>

#include "midi/OutputLog.h"
#include "midi/synth/SynthEngine.h"

namespace {

bool hasDriver(fluid_settings_t* settings, const char* driver)
{
    std::set<std::string> drivers;
    fluid_settings_foreach_option(settings, "audio.driver", &drivers,
                                  [](void* data, const char*, const char* option) {
                                      static_cast<std::set<std::string>*>(data)->insert(option);
                                  });
    return drivers.count(driver) != 0;
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

struct FluidDriverOutput::Driver {
    explicit Driver(fluid_audio_driver_t* d) : handle(d) {}
    ~Driver() { delete_fluid_audio_driver(handle); }
    fluid_audio_driver_t* handle;
};

FluidDriverOutput::FluidDriverOutput(Driver* driver) : driver_(driver) {}

FluidDriverOutput::~FluidDriverOutput() = default;

std::unique_ptr<FluidDriverOutput> FluidDriverOutput::open(SynthEngine& engine, const char* driver)
{
    fluid_settings_t* settings = engine.settings();
    if (!hasDriver(settings, driver)) {
        qCInfo(outputLog, "audio driver %s: not built into FluidSynth", driver);
        return nullptr;
    }
    configureLowLatency(settings);
    fluid_settings_setstr(settings, "audio.driver", driver);
    fluid_audio_driver_t* handle = new_fluid_audio_driver(settings, engine.synth());
    if (!handle) {
        qCInfo(outputLog, "audio driver %s: did not open", driver);
        return nullptr;
    }
    qCInfo(outputLog, "audio driver %s: playing", driver);
    return std::unique_ptr<FluidDriverOutput>(new FluidDriverOutput(new Driver(handle)));
}
