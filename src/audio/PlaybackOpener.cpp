#include "audio/PlaybackOpener.h"

#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "audio/SynthEngine.h"
#include "log/OutputLog.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A server that answers opens in tens of milliseconds.
constexpr auto openDeadline = 700ms;
// A try given up on that opened at last waits this long for the next walk,
// which comes within a second while nothing plays, to take its playback.
constexpr auto lateKeep = 1500ms;

long long millis(Clock::duration d)
{
    return static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
}

} // namespace

// One open under way on a thread of its own. When its caller gave up on it
// and the open returns at last, what it opened waits a while for the next
// try of its kind, and that thread closes it when none comes.
struct PendingOpen {
    const Clock::time_point began = Clock::now();
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool abandoned = false;
    bool taken = false;
    std::unique_ptr<Playback> playback;
};

PlaybackOpener::PlaybackOpener(std::shared_ptr<SynthEngine> engine, size_t kinds)
    : engine_(std::move(engine))
    , pending_(kinds)
{
}

std::unique_ptr<Playback> PlaybackOpener::tryOpen(const PlaybackKind& kind, size_t index)
{
    // One try of a kind at a time: one that still waits on a hung server
    // holds the next back.
    if (auto& earlier = pending_[index]) {
        std::unique_lock lock(earlier->mutex);
        if (!earlier->finished)
            return nullptr;
        auto late = std::move(earlier->playback);
        const auto began = earlier->began;
        earlier->taken = true;
        earlier->done.notify_all();
        lock.unlock();
        earlier.reset();
        // Its ports may have shown already: taking it, rather than opening
        // another, keeps a press made meanwhile.
        if (late && late->alive()) {
            qCInfo(outputLog, "%s: an open given up on answered at last; taken now", kind.name);
            lastTryBegan_ = began;
            return late;
        }
        if (late)
            close(std::move(late), 0ms);
    }
    auto pending = std::make_shared<PendingOpen>();
    // The open try's thread.
    std::thread([pending, engine = engine_, open = kind.open] {
        auto playback = open(*engine);
        std::unique_lock lock(pending->mutex);
        pending->finished = true;
        pending->playback = std::move(playback);
        pending->done.notify_all();
        if (!pending->abandoned || !pending->playback)
            return;
        pending->done.wait_for(lock, lateKeep, [&] { return pending->taken; });
        auto left = std::move(pending->playback);
        lock.unlock();
        // Not taken: its gate never opened, so it never reached the synth.
        left.reset();
    }).detach();

    const auto start = Clock::now();
    std::unique_lock lock(pending->mutex);
    while (!pending->finished && !stopping_.load() && Clock::now() - start < openDeadline)
        pending->done.wait_for(lock, 50ms);
    if (pending->finished) {
        lastTryBegan_ = pending->began;
        return std::move(pending->playback);
    }
    pending->abandoned = true;
    pending_[index] = pending;
    if (!stopping_.load())
        qCInfo(outputLog, "%s: no answer within %lld ms; the open is left to finish on its own", kind.name,
            millis(Clock::now() - start));
    return nullptr;
}

bool PlaybackOpener::tryLeftPending() const
{
    for (const auto& pending : pending_)
        if (pending)
            return true;
    return false;
}

void PlaybackOpener::close(std::unique_ptr<Playback> playback, std::chrono::milliseconds wait)
{
    std::promise<void> closed;
    auto done = closed.get_future();
    // The close thread: closing may wait on a server that hangs.
    std::thread([playback = std::move(playback), engine = engine_, closed = std::move(closed)]() mutable {
        playback.reset();
        closed.set_value();
    }).detach();
    if (wait > 0ms && done.wait_for(wait) != std::future_status::ready)
        qCInfo(
            outputLog, "synth: a playback did not close within %lld ms; it closes on its own", millis(wait));
}
