#include "midi/synth/FluidDriverOutput.h"

#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "midi/OutputLog.h"
#include "midi/ports/JackGraph.h"
#include "midi/synth/SynthEngine.h"

namespace {

using Clock = std::chrono::steady_clock;

// A driver plays a period every few milliseconds, silent or not; half a
// second without one means its server or device is gone. Looking five
// times a second brings the sound back within a second of the server.
constexpr auto lostAfter = std::chrono::milliseconds(500);
constexpr auto lookEvery = std::chrono::milliseconds(200);

int64_t nanosNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
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
// Such a driver is kept here instead, never closed: a few kilobytes once per
// lost server, and reachable, so no leak checker counts it.
void keepForever(fluid_audio_driver_t* driver)
{
    static std::mutex mutex;
    static auto* kept = new std::vector<fluid_audio_driver_t*>;
    std::lock_guard lock(mutex);
    kept->push_back(driver);
}

} // namespace

struct FluidDriverOutput::Driver {
    explicit Driver(fluid_audio_driver_t* d)
        : handle(d)
    {
    }
    ~Driver()
    {
        if (handle)
            delete_fluid_audio_driver(handle);
    }
    fluid_audio_driver_t* handle;
};

FluidDriverOutput::FluidDriverOutput(SynthEngine& engine, const char* name)
    : engine_(engine)
    , name_(name)
{
}

FluidDriverOutput::~FluidDriverOutput()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (watcher_.joinable())
        watcher_.join();
    stop();
}

void FluidDriverOutput::stop()
{
    if (!driver_)
        return;
    // A JACK server calls every client each period, a tenth of a second at
    // the very most: a client it no longer calls has lost it.
    const int64_t before = lastCallback_.load(std::memory_order_relaxed);
    if (name_ == "jack" && !waitForCallback(before, std::chrono::milliseconds(150))) {
        keepForever(driver_->handle);
        driver_->handle = nullptr;
    }
    driver_.reset();
}

bool FluidDriverOutput::waitForCallback(int64_t after, std::chrono::milliseconds timeout) const
{
    const auto deadline = Clock::now() + timeout;
    while (lastCallback_.load(std::memory_order_relaxed) == after) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
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
    if (!output->start()) {
        qCInfo(outputLog, "audio driver %s: did not open", driver);
        return nullptr;
    }
    qCInfo(outputLog, "audio driver %s: playing", driver);
    output->watcher_ = std::thread(&FluidDriverOutput::watch, output.get());
    return output;
}

bool FluidDriverOutput::start()
{
    fluid_settings_setstr(engine_.settings(), "audio.driver", name_.c_str());
    fluid_audio_driver_t* handle
        = new_fluid_audio_driver2(engine_.settings(), &FluidDriverOutput::render, this);
    if (!handle)
        return false;
    lastCallback_ = nanosNow();
    driver_ = std::make_unique<Driver>(handle);
    return true;
}

void FluidDriverOutput::watch()
{
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, lookEvery, [this] { return stopping_; })) {
        if (nanosNow() - lastCallback_.load(std::memory_order_relaxed)
            < std::chrono::duration_cast<std::chrono::nanoseconds>(lostAfter).count())
            continue;
        if (driver_)
            qCInfo(outputLog, "audio driver %s: stopped playing; opening it again", name_.c_str());
        stop();
        // libjack writes to stderr when it finds no server: ask it quietly first.
        if ((name_ == "jack" && !jackServerRunning()) || !start())
            continue;
        // Notes played meanwhile are lost, not played all at once now.
        fluid_synth_all_sounds_off(engine_.synth(), -1);
        qCInfo(outputLog, "audio driver %s: playing again", name_.c_str());
    }
}

int FluidDriverOutput::render(void* data, int frames, int, float*[], int nout, float* out[])
{
    auto* self = static_cast<FluidDriverOutput*>(data);
    self->lastCallback_.store(nanosNow(), std::memory_order_relaxed);
    if (nout < 2)
        return FLUID_FAILED;
    self->engine_.renderer().render(out[0], out[1], frames, 1);
    return FLUID_OK;
}
