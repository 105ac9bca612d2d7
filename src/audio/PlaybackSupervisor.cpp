#include "audio/PlaybackSupervisor.h"

#include <algorithm>
#include <cstring>

#include "audio/SynthEngine.h"
#include "log/OutputLog.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// While nothing plays the order is walked again and again: often at first,
// as a server that restarts is back within moments, then seldom, so that an
// absent one costs next to nothing; one that starts is heard within seconds.
constexpr auto retrySoonEvery = 200ms;
constexpr auto retrySoonFor = 10s;
constexpr auto retryLaterEvery = 1s;
constexpr auto lookEvery = 100ms;
// Closing a client takes milliseconds; past this the owner does not wait.
constexpr auto closeWait = 150ms;
// A key pressed this shortly before a playback is adopted sounds, and so does
// one pressed since the playback's open began, however long that took: its
// ports may have shown from then on.
constexpr auto recentPress = 1s;

} // namespace

PlaybackSupervisor::PlaybackSupervisor(std::shared_ptr<SynthEngine> engine, PlaybackOrder order)
    : engine_(std::move(engine))
    , order_(order)
    , opener_(engine_, order.size())
{
    thread_ = std::thread(&PlaybackSupervisor::run, this);
}

PlaybackSupervisor::~PlaybackSupervisor()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    opener_.stop();
    changed_.notify_all();
    thread_.join();
    if (playback_)
        letGo(closeWait);
}

bool PlaybackSupervisor::waitUntilTried(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [this] { return tried_; });
    return playing_.load();
}

bool PlaybackSupervisor::pause(std::chrono::milliseconds time)
{
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, time, [this] { return stopping_ || rateChanged_; });
    rateChanged_ = false;
    return !stopping_;
}

void PlaybackSupervisor::rateChanged()
{
    {
        std::lock_guard lock(mutex_);
        rateChanged_ = true;
    }
    changed_.notify_all();
}

std::chrono::milliseconds PlaybackSupervisor::retryEvery(Clock::time_point since) const
{
    return Clock::now() - since < retrySoonFor || opener_.tryLeftPending() ? retrySoonEvery : retryLaterEvery;
}

void PlaybackSupervisor::run()
{
    auto lookingSince = Clock::now();
    for (;;) {
        if (auto opened = walkOrder(order_.size(), false); opened.playback)
            adopt(std::move(opened), false);
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            tried_ = true;
        }
        changed_.notify_all();
        if (playback_) {
            follow();
            lookingSince = Clock::now();
        } else if (!pause(retryEvery(lookingSince))) {
            return;
        }
    }
}

PlaybackSupervisor::Opened PlaybackSupervisor::walkOrder(size_t end, bool asked)
{
    for (size_t i = 0; i < end; ++i) {
        if (!pause(0ms))
            return {};
        if (asked && order_[i].mayAnswer && !order_[i].mayAnswer())
            continue;
        if (auto playback = opener_.tryOpen(order_[i], i))
            return { std::move(playback), i };
    }
    return {};
}

void PlaybackSupervisor::adopt(Opened opened, bool handedOver)
{
    playback_ = std::move(opened.playback);
    kind_ = opened.kind;
    playbackName_ = order_[kind_].name;
    // Before anything can sound: a key struck from here on wakes a playback
    // that left its server's graph or corked while idle.
    engine_->renderer().setListener(playback_.get());
    playback_->setRateListener(this);
    // Handed over, the synth goes on as it was: a held note sounds on, once.
    if (!handedOver)
        engine_->keepRecent(std::max<std::chrono::milliseconds>(recentPress,
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - opener_.lastTryBegan())));
    rate_ = 0;
    followRate();
    stalls_.adopted(engine_->renderer());
    playing_.store(true);
    if (!lostName_)
        qCInfo(outputLog, "synth: playing through %s", playbackName_);
    else if (std::strcmp(lostName_, playbackName_) == 0)
        qCInfo(outputLog, "%s: back; the synth plays again", playbackName_);
    else
        qCInfo(outputLog, "synth: moved from %s to %s", lostName_, playbackName_);
    lostName_ = nullptr;
}

void PlaybackSupervisor::followRate()
{
    // The gate opens once the playback knows its rate and the synth renders
    // at it: a note played before waits, rather than sounding at another
    // pitch. A synth that cannot be made at the rate keeps it closed, and
    // is tried again at the next look.
    const double rate = playback_->rate();
    if (rate == 0 || (rate == rate_ && playback_->gate().isOpen()))
        return;
    const RenderGate::Closed closed = playback_->gate().close();
    if (rate != rate_) {
        if (!engine_->setSampleRate(rate, closed)) {
            if (rate != refusedRate_)
                qCInfo(outputLog, "%s: the synth cannot be made anew at %g Hz; silent until it can",
                    playbackName_, rate);
            refusedRate_ = rate;
            return;
        }
        rate_ = rate;
        refusedRate_ = 0;
        qCInfo(outputLog, "%s: the synth renders at %g Hz", playbackName_, engine_->sampleRate());
    }
    playback_->gate().open();
}

void PlaybackSupervisor::follow()
{
    // A server before the adopted one in the order, back after a restart or
    // come later, takes the synth over: looked for as often as any server
    // while none plays.
    auto since = Clock::now();
    auto nextLookUp = since + retrySoonEvery;
    while (pause(lookEvery)) {
        if (!playback_->alive()) {
            qCInfo(outputLog, "%s: gone; looking for a sound server", playbackName_);
            lostName_ = playbackName_;
            playing_.store(false);
            letGo(0ms);
            return;
        }
        followRate();
        stalls_.look(*playback_, engine_->renderer(), playbackName_);
        if (kind_ == 0 || Clock::now() < nextLookUp)
            continue;
        if (auto higher = walkOrder(kind_, true); higher.playback) {
            lostName_ = playbackName_;
            letGo(0ms);
            adopt(std::move(higher), true);
            since = Clock::now();
        }
        nextLookUp = Clock::now() + retryEvery(since);
    }
}

void PlaybackSupervisor::letGo(std::chrono::milliseconds waitForClose)
{
    engine_->renderer().setListener(nullptr);
    playback_->setRateListener(nullptr);
    playback_->gate().close();
    opener_.close(std::move(playback_), waitForClose);
}
