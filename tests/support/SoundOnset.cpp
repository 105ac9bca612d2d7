#include "SoundOnset.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <thread>

#include "WaitUntil.h"

SoundOnset::SoundOnset(const std::string& clientName, int portCount)
    : client_(clientName, JACK_DEFAULT_AUDIO_TYPE, portCount)
{
    if (!client_.ok())
        return;
    jack_set_xrun_callback(
        client_.get(),
        [](void* self) {
            ++static_cast<SoundOnset*>(self)->xruns_;
            return 0;
        },
        this);
    client_.activate(&SoundOnset::process, this);
}

std::string SoundOnset::portName(int port) const
{
    return client_.portName(port);
}

bool SoundOnset::listenTo(const char* pattern, std::chrono::milliseconds timeout)
{
    // A client's ports show before it is active, and connect only then.
    const size_t inputs = client_.ports().size();
    return ok()
        && waitUntil(
            [&] {
                const std::vector<std::string> sources = audioOutputs(client(), pattern);
                for (size_t i = 0; i < inputs; ++i) {
                    const int error = i < sources.size()
                        ? jack_connect(client(), sources[i].c_str(), portName(static_cast<int>(i)).c_str())
                        : -1;
                    if (error != 0 && error != EEXIST)
                        return false;
                }
                return true;
            },
            timeout);
}

int64_t SoundOnset::nanosNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

int SoundOnset::process(jack_nframes_t frames, void* arg)
{
    auto* self = static_cast<SoundOnset*>(arg);
    const auto now = Clock::now();
    float peak = 0;
    for (jack_port_t* port : self->client_.ports()) {
        const auto* samples = static_cast<const float*>(jack_port_get_buffer(port, frames));
        for (jack_nframes_t i = 0; i < frames; ++i)
            peak = std::max(peak, std::fabs(samples[i]));
    }
    const int64_t nanos
        = std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count();
    if (peak >= self->quiet_.load(std::memory_order_relaxed))
        self->lastNoise_.store(nanos, std::memory_order_relaxed);
    self->lastCycle_.store(nanos, std::memory_order_relaxed);
    if (self->recording_.load(std::memory_order_acquire)
        && (self->taken_.load(std::memory_order_relaxed) > 0
            || peak >= self->loud_.load(std::memory_order_relaxed))) {
        const auto* samples
            = static_cast<const float*>(jack_port_get_buffer(self->client_.ports()[0], frames));
        const size_t taken = self->taken_.load(std::memory_order_relaxed);
        const size_t n = std::min<size_t>(frames, self->take_.size() - taken);
        std::copy(samples, samples + n, self->take_.begin() + static_cast<long>(taken));
        self->taken_.store(taken + n, std::memory_order_release);
        if (taken + n == self->take_.size())
            self->recording_.store(false, std::memory_order_relaxed);
    }
    if (self->armed_.load(std::memory_order_acquire) && peak >= self->loud_.load(std::memory_order_relaxed)) {
        self->armed_.store(false, std::memory_order_relaxed);
        self->onset_ = now;
        self->found_.store(true, std::memory_order_release);
    }
    return 0;
}

bool SoundOnset::waitForSilence(
    float quiet, std::chrono::milliseconds span, std::chrono::milliseconds timeout)
{
    quiet_ = quiet;
    const int64_t since = nanosNow();
    lastNoise_ = since; // cycles before this call were judged by another threshold
    const auto deadline = Clock::now() + timeout;
    const int64_t spanNanos = std::chrono::duration_cast<std::chrono::nanoseconds>(span).count();
    while (Clock::now() < deadline && !client_.serverGone()) {
        const int64_t now = nanosNow();
        const bool cyclesRun = now - lastCycle_ < 100'000'000;
        if (cyclesRun && now - lastNoise_ >= spanNanos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

void SoundOnset::arm(float loud)
{
    found_.store(false, std::memory_order_relaxed);
    loud_.store(loud, std::memory_order_relaxed);
    armed_.store(true, std::memory_order_release);
}

std::optional<SoundOnset::Clock::time_point> SoundOnset::waitForOnset(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (!found_.load(std::memory_order_acquire)) {
        if (Clock::now() >= deadline || client_.serverGone()) {
            armed_ = false;
            // A cycle may have come in just now.
            if (!found_.load(std::memory_order_acquire))
                return std::nullopt;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return onset_;
}

std::vector<float> SoundOnset::record(float loud, size_t frames, std::chrono::milliseconds timeout)
{
    take_.assign(frames, 0.0f);
    taken_ = 0;
    loud_ = loud;
    recording_.store(true, std::memory_order_release);
    const auto deadline = Clock::now() + timeout;
    while (
        taken_.load(std::memory_order_acquire) < frames && Clock::now() < deadline && !client_.serverGone())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    recording_ = false;
    // A cycle may still be copying: it ends within one period.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (taken_.load(std::memory_order_acquire) < frames)
        return {};
    return take_;
}
