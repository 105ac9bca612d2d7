#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "midi/synth/AudioOutput.h"

// One of FluidSynth's own audio drivers ("jack", "pulseaudio", "alsa", ...),
// rendering through the engine's idle renderer. When the driver's server or
// device goes away, its callbacks stop; the driver is then opened again
// until it plays once more.
class FluidDriverOutput : public AudioOutput {
public:
    // Null when FluidSynth lacks the driver or it does not open.
    static std::unique_ptr<FluidDriverOutput> open(SynthEngine& engine, const char* driver);

    ~FluidDriverOutput() override;

private:
    struct Driver;
    FluidDriverOutput(SynthEngine& engine, const char* name);

    bool start();
    // Closes the driver, unless closing would crash.
    void stop();
    bool waitForCallback(int64_t after, std::chrono::milliseconds timeout) const;
    void watch();
    static int render(void* self, int frames, int nfx, float* fx[], int nout, float* out[]);

    SynthEngine& engine_;
    std::string name_;
    std::unique_ptr<Driver> driver_;
    // steady_clock nanoseconds of the latest callback, written by the driver's thread.
    std::atomic<int64_t> lastCallback_ { 0 };
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread watcher_;
};
