#pragma once

#include <jack/jack.h>

#include "JackClient.h"

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

// A JACK client with audio inputs that tells when sound starts: the first
// process cycle, after it is armed, whose buffer rises above a threshold.
class SoundOnset {
public:
    using Clock = std::chrono::steady_clock;

    SoundOnset(const std::string& clientName, int portCount = 2);

    SoundOnset(const SoundOnset&) = delete;
    SoundOnset& operator=(const SoundOnset&) = delete;

    bool ok() const { return client_.ok(); }
    jack_client_t* client() const { return client_.get(); }
    std::string portName(int port) const;
    int xruns() const { return xruns_; }
    // Connects the first audio outputs whose names match `pattern` (a
    // regular expression), one to each input, once they show within
    // `timeout`; whether it did.
    bool listenTo(const char* pattern, std::chrono::milliseconds timeout);

    // Waits until every cycle for `span` has stayed below `quiet`; false
    // when that does not happen before `timeout` or the cycles stop.
    bool waitForSilence(float quiet, std::chrono::milliseconds span, std::chrono::milliseconds timeout);
    // From now on, keeps the first cycle that reaches `loud`.
    void arm(float loud);
    // When the process callback of that cycle ran.
    std::optional<Clock::time_point> waitForOnset(std::chrono::milliseconds timeout);
    // Keeps the next `frames` samples of the first port, from the cycle that
    // reaches `loud` on; empty when they do not come within `timeout`.
    std::vector<float> record(float loud, size_t frames, std::chrono::milliseconds timeout);

private:
    static int process(jack_nframes_t frames, void* self);
    static int64_t nanosNow();

    std::atomic<int> xruns_ { 0 };

    std::atomic<float> quiet_ { 0.0f };
    std::atomic<int64_t> lastCycle_ { 0 }; // steady_clock nanoseconds of the latest cycle
    std::atomic<int64_t> lastNoise_ { 0 }; // ... and of the latest one at or above `quiet_`

    std::atomic<float> loud_ { 0.0f };
    std::atomic<bool> armed_ { false };
    std::atomic<bool> found_ { false };
    Clock::time_point onset_ {}; // written by the process callback before `found_` is set

    std::vector<float> take_; // sized before `recording_` is set, filled by the process callback
    std::atomic<size_t> taken_ { 0 };
    std::atomic<bool> recording_ { false };
    // Last, so that it closes, and its callbacks stop, before the state above goes.
    JackClient client_;
};
