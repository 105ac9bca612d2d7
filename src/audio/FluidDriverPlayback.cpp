#include "audio/FluidDriverPlayback.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <set>
#include <string>

#include <fluidsynth.h>

#include "audio/AlsaDevice.h"
#include "audio/SocketAnswers.h"
#include "audio/SynthEngine.h"
#include "log/OutputLog.h"
#include "log/QuietLibraries.h"

namespace {

// What ALSA's default device is asked for, the usual rate of today's cards.
constexpr unsigned requestedRate = 48000;
// The driver asks for a period every few milliseconds, silent or not: one
// that has asked for none this long plays no more, whatever it goes through.
constexpr std::chrono::seconds stoppedAfter { 2 };

int64_t nanosNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A desktop's sound packages make ALSA's default a server's own plugin. It
// is that server, not a way around it: while the server does not answer
// on its own socket the plugin cannot play either, and once it answers
// its own stream, tried before, plays better.
bool serverBehindIsDown(const char* device)
{
    const char* server = alsaServerPlugin(device);
    if (!server)
        return false;
    const bool down = std::strcmp(server, "pipewire") == 0 ? !pipeWireAnswers() : !pulseAudioAnswers();
    if (down)
        qCInfo(outputLog, "audio driver alsa: %s is %s's own plugin, and %s does not answer; passed over",
            device, server, server);
    return down;
}

bool hasDriver(fluid_settings_t* settings, const char* driver)
{
    std::set<std::string> drivers;
    fluid_settings_foreach_option(
        settings, "audio.driver", &drivers, [](void* data, const char*, const char* option) {
            static_cast<std::set<std::string>*>(data)->insert(option);
        });
    return drivers.count(driver) != 0;
}

struct SettingsDeleter {
    void operator()(fluid_settings_t* s) const { delete_fluid_settings(s); }
};

} // namespace

// The driver with its settings and what its thread's callback reaches: the
// gate and the error flag.
struct FluidDriverPlayback::Driver {
    explicit Driver(RenderGate& g)
        : gate(g)
    {
    }
    ~Driver()
    {
        if (driver)
            delete_fluid_audio_driver(driver);
    }

    // The driver's audio thread, FluidSynth's own.
    static int render(void* self, int frames, int nfx, float* fx[], int nout, float* out[]);

    std::unique_ptr<fluid_settings_t, SettingsDeleter> settings { new_fluid_settings() };
    fluid_audio_driver_t* driver = nullptr;
    RenderGate& gate;
    std::atomic<bool> failed { false };
};

FluidDriverPlayback::FluidDriverPlayback(SynthEngine& engine)
    : Playback(engine)
{
}

FluidDriverPlayback::~FluidDriverPlayback() = default;

std::unique_ptr<FluidDriverPlayback> FluidDriverPlayback::open(SynthEngine& engine, const char* name)
{
    std::unique_ptr<FluidDriverPlayback> playback(new FluidDriverPlayback(engine));
    playback->driver_ = std::make_unique<Driver>(playback->gate());
    fluid_settings_t* settings = playback->driver_->settings.get();
    if (!settings || !hasDriver(settings, name)) {
        qCInfo(outputLog, "audio driver %s: not built into FluidSynth", name);
        return nullptr;
    }
    const bool alsa = std::strcmp(name, "alsa") == 0;
    if (alsa && serverBehindIsDown("default"))
        return nullptr;
    fluid_settings_setstr(settings, "audio.driver", name);
    // A card that refuses the rate asked for plays at another, and FluidSynth
    // only warns: every note would sound off pitch. So the synth renders at
    // the rate of the device FluidSynth's ALSA driver opens, "default".
    playback->rate_ = engine.renderableRate(alsa ? alsaRate("default", requestedRate) : requestedRate);
    fluid_settings_setnum(settings, "synth.sample-rate", playback->rate_);
    // About 5 ms of buffer: short enough to feel instant, long enough for
    // the demo tune to play without drop-outs.
    fluid_settings_setint(settings, "audio.period-size", 128);
    fluid_settings_setint(settings, "audio.periods", 2);
    playback->driver_->driver = new_fluid_audio_driver2(settings, &Driver::render, playback->driver_.get());
    if (!playback->driver_->driver) {
        qCInfo(outputLog, "audio driver %s: did not open", name);
        return nullptr;
    }
    playback->openedAt_ = nanosNow();
    return playback;
}

bool FluidDriverPlayback::alive() const
{
    const int64_t lastSign = std::max(gate().lastCall(), openedAt_);
    return !driver_->failed.load() && nanosNow() - lastSign < std::chrono::nanoseconds(stoppedAfter).count();
}

double FluidDriverPlayback::rate() const
{
    return rate_;
}

int FluidDriverPlayback::Driver::render(void* data, int frames, int, float*[], int nout, float* out[])
{
    auto* self = static_cast<Driver*>(data);
    watchFluidErrorsOnThisThread(&self->failed);
    if (nout < 2)
        return FLUID_FAILED;
    self->gate.render(out[0], out[1], frames, 1);
    return FLUID_OK;
}
