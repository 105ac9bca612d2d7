#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

#include "audio/Playback.h"

class SynthEngine;
struct PendingOpen;

// Opens and closes playbacks on threads of their own, under deadlines, so that
// a sound server that hangs never holds up the supervisor. A try given up on
// closes what it opened, once its open returns, and touches nothing else.
class PlaybackOpener {
public:
    // For `kinds` kinds of playback, each tried by its index.
    PlaybackOpener(std::shared_ptr<SynthEngine> engine, size_t kinds);

    // The supervisor's thread: the playback, or null when the kind did not
    // open within the deadline, or a try of it still waits on its server.
    std::unique_ptr<Playback> tryOpen(const PlaybackKind& kind, size_t index);
    // The supervisor's thread: closes the playback, whose gate is closed,
    // waiting for it up to `wait`.
    void close(std::unique_ptr<Playback> playback, std::chrono::milliseconds wait);
    // The supervisor's thread: a try given up on may still answer, and its
    // playback waits to be taken.
    bool tryLeftPending() const;
    // Any thread: a try under way gives up now.
    void stop() { stopping_.store(true); }
    // The supervisor's thread: when the try whose playback tryOpen returned
    // last began; its ports may have shown from then on.
    std::chrono::steady_clock::time_point lastTryBegan() const { return lastTryBegan_; }

private:
    std::shared_ptr<SynthEngine> engine_;
    std::vector<std::shared_ptr<PendingOpen>> pending_;
    std::atomic<bool> stopping_ { false };
    std::chrono::steady_clock::time_point lastTryBegan_;
};
