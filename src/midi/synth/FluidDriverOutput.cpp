#include "midi/synth/FluidDriverOutput.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <fluidsynth.h>

#if __has_include(<pthread.h>)
#include <pthread.h>
#endif

#include "midi/log/OutputLog.h"
#include "midi/log/QuietLibraries.h"
#include "midi/ports/JackGraph.h"
#include "midi/synth/SynthEngine.h"

namespace {

// ALSA's default device resamples whatever it is handed.
constexpr double requestedRate = 48000.0;

void configureJack(fluid_settings_t* settings)
{
    fluid_settings_setstr(settings, "audio.jack.id", "Tonvelo");
    fluid_settings_setint(settings, "audio.jack.autoconnect", 1);
}

void configureAlsa(fluid_settings_t*) { }

// Each driver's own keys. All of them get about 5 ms of buffer at 48 kHz:
// short enough to feel instant, long enough for the demo tune to play
// without drop-outs.
struct DriverKind {
    const char* name;
    void (*configure)(fluid_settings_t*);
};
constexpr DriverKind driverKinds[] = {
    { "jack", configureJack },
    { "alsa", configureAlsa },
};

const DriverKind* kindNamed(const char* name)
{
    for (const DriverKind& kind : driverKinds)
        if (std::strcmp(kind.name, name) == 0)
            return &kind;
    return nullptr;
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

// libjack ends its process thread by cancelling it from another thread,
// asynchronously: when it frees the clients of a server that died, that may
// catch a render half done, inside the gate or holding the synth's locks,
// which then nothing would ever leave or unlock. A cancel waits until the
// render is out.
int holdOffCancel()
{
#if __has_include(<pthread.h>)
    int before = PTHREAD_CANCEL_ENABLE;
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &before);
    return before;
#else
    return 0;
#endif
}

// Where a cancel that came meanwhile takes effect: a plain function, not a
// destructor, as the thread unwinds from here.
void allowCancel([[maybe_unused]] int before)
{
#if __has_include(<pthread.h>)
    pthread_setcancelstate(before, nullptr);
#endif
}

struct SettingsDeleter {
    void operator()(fluid_settings_t* s) const { delete_fluid_settings(s); }
};

} // namespace

// The driver with its settings and what its thread's callback reaches: the
// gate and the error flag. A JACK client that is kept forever keeps this too.
struct FluidDriverOutput::Driver {
    explicit Driver(RenderGate& g, bool watches)
        : gate(g)
        , watchesErrors(watches)
    {
    }
    ~Driver()
    {
        if (driver)
            delete_fluid_audio_driver(driver);
    }

    // The driver's audio thread: FluidSynth's own, or libjack's process thread.
    static int render(void* self, int frames, int nfx, float* fx[], int nout, float* out[]);

    std::unique_ptr<fluid_settings_t, SettingsDeleter> settings { new_fluid_settings() };
    fluid_audio_driver_t* driver = nullptr;
    RenderGate& gate;
    // Set before the driver's thread starts, read by it.
    const bool watchesErrors;
    std::atomic<bool> failed { false };
};

namespace {

// libjack itself closes and frees the clients of a server that died, at the
// next jack_client_open in the process; closed by us too, they would be
// freed twice. Such a client is kept here instead, never closed, with all
// its callback reaches: a few kilobytes once per lost server, and
// reachable, so no leak checker counts it.
template <typename... Parts> void keepForever(Parts*... parts)
{
    static std::mutex mutex;
    static auto* kept = new std::vector<void*>;
    std::lock_guard lock(mutex);
    (kept->push_back(parts), ...);
}

// A JACK server that died never removes the files it made for its clients'
// wake-ups; those of ours would outlive the program.
void removeFilesOfDeadServer()
{
    const char* server = std::getenv("JACK_DEFAULT_SERVER");
    const std::string prefix = "jack_sem." + std::to_string(getuid()) + "_"
        + (server && *server ? server : "default") + "_Tonvelo";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ec))
        if (entry.path().filename().string().rfind(prefix, 0) == 0)
            std::filesystem::remove(entry.path(), ec);
}

} // namespace

FluidDriverOutput::FluidDriverOutput(SynthEngine& engine, double rate)
    : AudioOutput(engine)
    , rate_(rate)
{
}

FluidDriverOutput::~FluidDriverOutput()
{
    if (driver_ && driver_->driver && jack_ && jack_->serverGone()) {
        forgetDeadServer();
        keepForever(driver_.release(), releaseGate(), jack_.release());
    }
}

std::unique_ptr<FluidDriverOutput> FluidDriverOutput::open(SynthEngine& engine, const char* name)
{
    return open(engine, name, requestedRate);
}

std::unique_ptr<FluidDriverOutput> FluidDriverOutput::open(SynthEngine& engine, const char* name, double rate)
{
    const DriverKind* kind = kindNamed(name);
    std::unique_ptr<FluidDriverOutput> output(new FluidDriverOutput(engine, rate));
    output->driver_ = std::make_unique<Driver>(output->gate(), std::strcmp(name, "jack") != 0);
    fluid_settings_t* settings = output->driver_->settings.get();
    if (!kind || !settings || !hasDriver(settings, name)) {
        qCInfo(outputLog, "audio driver %s: not built into FluidSynth", name);
        return nullptr;
    }
    fluid_settings_setstr(settings, "audio.driver", name);
    fluid_settings_setnum(settings, "synth.sample-rate", rate);
    fluid_settings_setint(settings, "audio.period-size", 128);
    fluid_settings_setint(settings, "audio.periods", 2);
    kind->configure(settings);
    output->driver_->driver = new_fluid_audio_driver2(settings, &Driver::render, output->driver_.get());
    if (!output->driver_->driver) {
        qCInfo(outputLog, "audio driver %s: did not open", name);
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
    // JACK does not resample: a server at a rate the synth cannot render is
    // passed over for the next kind, which can.
    const int rate = watch->sampleRate();
    if (engine.renderableRate(rate) != rate) {
        qCInfo(outputLog, "jack: the server runs at %d Hz, which the synth cannot render", rate);
        return nullptr;
    }
    auto output = open(engine, "jack", rate);
    if (output)
        output->jack_ = std::move(watch);
    return output;
}

bool FluidDriverOutput::alive() const
{
    if (!jack_)
        return !driver_->failed.load();
    if (!jack_->serverGone())
        return true;
    forgetDeadServer();
    return false;
}

void FluidDriverOutput::forgetDeadServer() const
{
    // At once, before the next open: a server started again under the same
    // name would take up the dead one's wake-up files by their names, in
    // whatever state the killed server left them, and never wake our new
    // client; removed later, they would take the new client's files instead.
    if (!deadServerForgotten_.exchange(true))
        removeFilesOfDeadServer();
}

int FluidDriverOutput::Driver::render(void* data, int frames, int, float*[], int nout, float* out[])
{
    auto* self = static_cast<Driver*>(data);
    if (self->watchesErrors)
        watchFluidErrorsOnThisThread(&self->failed);
    if (nout < 2)
        return FLUID_FAILED;
    const int cancelState = holdOffCancel();
    self->gate.render(out[0], out[1], frames, 1);
    allowCancel(cancelState);
    return FLUID_OK;
}
