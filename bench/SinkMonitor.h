#pragma once

#include <pulse/simple.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>

// Reads a PulseAudio daemon's default sink's monitor in small chunks on a
// thread of its own; the time a chunk's loud sample was played is when the
// chunk arrived, less the frames that followed it.
class SinkMonitor {
public:
    using Clock = std::chrono::steady_clock;

    explicit SinkMonitor(const std::string& server);
    ~SinkMonitor();
    SinkMonitor(const SinkMonitor&) = delete;
    SinkMonitor& operator=(const SinkMonitor&) = delete;

    bool ok() const { return source_ != nullptr; }
    // Whether the sink was quiet for `span` before `timeout` passed.
    bool waitForSilence(std::chrono::milliseconds span, std::chrono::milliseconds timeout);
    // Looks for the next loud sample from now on.
    void arm();
    std::optional<Clock::time_point> waitForOnset(std::chrono::milliseconds timeout);

private:
    void run();

    pa_simple* source_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_ { false };
    std::atomic<bool> armed_ { false };
    std::atomic<Clock::rep> onset_ { 0 };
    std::atomic<Clock::rep> lastNoise_ { 0 };
};
