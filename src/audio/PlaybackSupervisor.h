#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "audio/Playback.h"
#include "audio/PlaybackOpener.h"
#include "audio/StallWatch.h"

class SynthEngine;

// Keeps the synth playing through one sound server at a time. It walks the
// order of servers until one takes the synth, follows that one while it
// plays, and walks the order again when it is gone: a server that comes
// back or another one that appears takes the synth within a second or two.
// While a kind late in the order plays, it keeps trying those before it,
// and the first that opens takes the synth over. A server that only
// stalls keeps it. It alone sets the synth's rate, to the adopted
// playback's, while that playback's gate is closed.
class PlaybackSupervisor : Playback::RateListener {
public:
    PlaybackSupervisor(std::shared_ptr<SynthEngine> engine, PlaybackOrder order);
    ~PlaybackSupervisor() override;

    PlaybackSupervisor(const PlaybackSupervisor&) = delete;
    PlaybackSupervisor& operator=(const PlaybackSupervisor&) = delete;

    // Waits until the first walk of the order ends or `timeout` passes;
    // whether the synth plays by then.
    bool waitUntilTried(std::chrono::milliseconds timeout);
    bool playing() const { return playing_.load(); }

private:
    void rateChanged() override;
    // The supervisor's thread.
    void run();
    struct Opened {
        std::unique_ptr<Playback> playback;
        size_t kind = 0;
    };
    // The first of the kinds before `end` that opens; `asked` skips those
    // whose server surely is not there.
    Opened walkOrder(size_t end, bool asked);
    // `handedOver`: from a playback that still played, with the synth as it is.
    void adopt(Opened opened, bool handedOver);
    void follow();
    std::chrono::milliseconds retryEvery(std::chrono::steady_clock::time_point since) const;
    void followRate();
    void letGo(std::chrono::milliseconds waitForClose);
    // Sleeps up to `time`, or until the playback's rate changed; false when stopping.
    bool pause(std::chrono::milliseconds time);

    std::shared_ptr<SynthEngine> engine_;
    const PlaybackOrder order_;
    PlaybackOpener opener_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    bool tried_ = false;
    bool rateChanged_ = false;
    std::atomic<bool> playing_ { false };

    // The supervisor's thread only.
    std::unique_ptr<Playback> playback_;
    size_t kind_ = 0;
    const char* playbackName_ = nullptr;
    const char* lostName_ = nullptr;
    double rate_ = 0;
    double refusedRate_ = 0; // the rate the synth could not be made at, once logged
    StallWatch stalls_;

    std::thread thread_;
};
