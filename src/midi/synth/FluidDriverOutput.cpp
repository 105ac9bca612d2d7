#include "midi/synth/FluidDriverOutput.h"

#include <mutex>
#include <set>
#include <vector>

#include "midi/OutputLog.h"
#include "midi/QuietLibraries.h"
#include "midi/ports/JackGraph.h"
#include "midi/synth/SynthEngine.h"

namespace {

bool hasDriver(fluid_settings_t* settings, const char* driver)
{
    std::set<std::string> drivers;
    fluid_settings_foreach_option(
        settings, "audio.driver", &drivers, [](void* data, const char*, const char* option) {
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

// libjack crashes now and then when it closes a client whose server died.
// Such a client is kept here instead, never closed, with the gate its thread
// was given: a few kilobytes once per lost server, and reachable, so no leak
// checker counts it.
void keepForever(fluid_audio_driver_t* driver, RenderGate* gate, JackGraphReader* watch)
{
    struct Kept {
        fluid_audio_driver_t* driver;
        RenderGate* gate;
        JackGraphReader* watch;
    };
    static std::mutex mutex;
    static auto* kept = new std::vector<Kept>;
    std::lock_guard lock(mutex);
    kept->push_back({ driver, gate, watch });
}

} // namespace

FluidDriverOutput::FluidDriverOutput(SynthEngine& engine, const char* name)
    : AudioOutput(engine)
    , name_(name)
    , watchesErrors_(name_ != "jack")
{
}

FluidDriverOutput::~FluidDriverOutput()
{
    if (driver_ && jack_ && jack_->serverGone()) {
        keepForever(driver_, releaseGate(), jack_.release());
        return;
    }
    if (driver_)
        delete_fluid_audio_driver(driver_);
}

std::unique_ptr<FluidDriverOutput> FluidDriverOutput::open(SynthEngine& engine, const char* driver)
{
    fluid_settings_t* settings = engine.settings();
    if (!hasDriver(settings, driver)) {
        qCInfo(outputLog, "audio driver %s: not built into FluidSynth", driver);
        return nullptr;
    }
    configureLowLatency(settings);
    std::unique_ptr<FluidDriverOutput> output(new FluidDriverOutput(engine, driver));
    if (!output->start(engine)) {
        qCInfo(outputLog, "audio driver %s: did not open", driver);
        return nullptr;
    }
    return output;
}

std::unique_ptr<FluidDriverOutput> FluidDriverOutput::openJack(SynthEngine& engine)
{
    // libjack, asked for a server that is not there, writes to stderr where
    // nothing of ours can quiet it: ask quietly first. The asking client
    // stays open while FluidSynth's opens, which then shares its map of the
    // server's memory, and then watches for the server's end.
    auto watch = std::make_unique<JackGraphReader>();
    if (!watch->connected())
        return nullptr;
    if (watch->isPipeWire()) {
        qCInfo(outputLog, "jack: the server is PipeWire; its own stream plays instead");
        return nullptr;
    }
    auto output = open(engine, "jack");
    if (output)
        output->jack_ = std::move(watch);
    return output;
}

bool FluidDriverOutput::start(SynthEngine& engine)
{
    fluid_settings_setstr(engine.settings(), "audio.driver", name_.c_str());
    driver_ = new_fluid_audio_driver2(engine.settings(), &FluidDriverOutput::render, this);
    return driver_ != nullptr;
}

bool FluidDriverOutput::alive() const
{
    return jack_ ? !jack_->serverGone() : !failed_.load();
}

int FluidDriverOutput::render(void* data, int frames, int, float*[], int nout, float* out[])
{
    auto* self = static_cast<FluidDriverOutput*>(data);
    if (self->watchesErrors_)
        watchFluidErrorsOnThisThread(&self->failed_);
    if (nout < 2)
        return FLUID_FAILED;
    self->gate().render(out[0], out[1], frames, 1);
    return FLUID_OK;
}
