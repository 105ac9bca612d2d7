#include "midi/synth/OutputSupervisor.h"

#include <algorithm>
#include <cstring>
#include <future>

#include "midi/OutputLog.h"
#include "midi/synth/SynthEngine.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A server that answers opens in tens of milliseconds.
constexpr auto openDeadline = 700ms;
// While nothing plays the order is walked again and again: often at first,
// as a server that restarts is back within moments, then seldom, so that an
// absent one costs next to nothing; one that starts is heard within seconds.
constexpr auto retrySoonEvery = 200ms;
constexpr auto retrySoonFor = 10s;
constexpr auto retryLaterEvery = 1s;
constexpr auto lookEvery = 100ms;
// Logged as a stall: no cycle for this long while the synth is awake.
constexpr auto stallAfter = 500ms;
// Closing a client takes milliseconds; past this the owner does not wait.
constexpr auto closeWait = 150ms;

int64_t nanosNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

long long millis(Clock::duration d)
{
    return static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
}

} // namespace

// One open under way on a thread of its own. When its caller gave up on it,
// that thread closes what it opened once the open returns at last.
struct PendingOpen {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool abandoned = false;
    std::unique_ptr<AudioOutput> output;
};

OutputSupervisor::OutputSupervisor(std::shared_ptr<SynthEngine> engine)
    : engine_(std::move(engine))
{
    engine_->renderer().setListener(this);
    thread_ = std::thread(&OutputSupervisor::run, this);
}

OutputSupervisor::~OutputSupervisor()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
    if (output_)
        letGo(std::move(output_), closeWait);
    engine_->renderer().setListener(nullptr);
}

bool OutputSupervisor::waitUntilTried(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [this] { return tried_; });
    return playing_.load();
}

bool OutputSupervisor::pause(std::chrono::milliseconds time)
{
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, time, [this] { return stopping_; });
}

void OutputSupervisor::run()
{
    auto lookingSince = Clock::now();
    for (;;) {
        if (auto output = walkOrder())
            adopt(std::move(output), outputName_);
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            tried_ = true;
        }
        changed_.notify_all();
        if (output_) {
            follow();
            lookingSince = Clock::now();
        } else if (!pause(Clock::now() - lookingSince < retrySoonFor ? retrySoonEvery : retryLaterEvery)) {
            return;
        }
    }
}

std::unique_ptr<AudioOutput> OutputSupervisor::walkOrder()
{
    // Notes played while nothing sounded are lost, not played all at once
    // later. Those played from here on sound once the output opened: its
    // ports may show before the open returns.
    fluid_synth_all_sounds_off(engine_->synth(), -1);
    for (size_t i = 0; i < std::size(audioOutputOrder); ++i) {
        if (!pause(0ms))
            return nullptr;
        if (auto output = tryOpen(audioOutputOrder[i], i)) {
            outputName_ = audioOutputOrder[i].name;
            return output;
        }
    }
    return nullptr;
}

std::unique_ptr<AudioOutput> OutputSupervisor::tryOpen(const AudioOutputKind& kind, size_t index)
{
    // One try of a kind at a time: one that still waits on a hung server
    // holds the next back.
    if (auto& earlier = pending_[index]) {
        std::unique_lock lock(earlier->mutex);
        if (!earlier->finished)
            return nullptr;
        lock.unlock();
        earlier.reset();
    }
    auto pending = std::make_shared<PendingOpen>();
    std::thread([pending, engine = engine_, open = kind.open] {
        auto output = open(*engine);
        std::unique_lock lock(pending->mutex);
        pending->finished = true;
        if (!pending->abandoned) {
            pending->output = std::move(output);
            pending->done.notify_all();
            return;
        }
        lock.unlock();
        // Its gate never opened: it never reached the synth.
        output.reset();
    }).detach();

    const auto start = Clock::now();
    std::unique_lock lock(pending->mutex);
    while (!pending->finished && Clock::now() - start < openDeadline) {
        pending->done.wait_for(lock, 50ms);
        lock.unlock();
        const bool stopping = !pause(0ms);
        lock.lock();
        if (stopping)
            break;
    }
    if (pending->finished)
        return std::move(pending->output);
    pending->abandoned = true;
    pending_[index] = pending;
    if (pause(0ms))
        qCInfo(outputLog, "%s: no answer within %lld ms; the open is left to finish on its own", kind.name,
            millis(Clock::now() - start));
    return nullptr;
}

void OutputSupervisor::adopt(std::unique_ptr<AudioOutput> output, const char* name)
{
    output_ = std::move(output);
    rate_ = 0;
    followRate();
    listening_.store(output_.get());
    adoptedAt_ = nanosNow();
    stalled_ = false;
    playing_.store(true);
    if (!lostName_)
        qCInfo(outputLog, "synth: playing through %s", name);
    else if (std::strcmp(lostName_, name) == 0)
        qCInfo(outputLog, "%s: back; the synth plays again", name);
    else
        qCInfo(outputLog, "synth: moved from %s to %s", lostName_, name);
    lostName_ = nullptr;
}

void OutputSupervisor::followRate()
{
    const double rate = output_->rate();
    if (rate == rate_ && output_->gate().isOpen())
        return;
    output_->gate().close();
    if (rate != 0 && rate != rate_) {
        engine_->setSampleRate(rate);
        rate_ = rate;
        qCInfo(outputLog, "%s: the synth renders at %g Hz", outputName_, engine_->sampleRate());
    }
    output_->gate().open();
}

void OutputSupervisor::follow()
{
    while (pause(lookEvery)) {
        if (!output_->alive()) {
            qCInfo(outputLog, "%s: gone; looking for a sound server", outputName_);
            lostName_ = outputName_;
            playing_.store(false);
            letGo(std::move(output_), 0ms);
            return;
        }
        followRate();
        // An idle output may leave the graph and is then called for nothing.
        const int64_t lastSign = std::max({ output_->gate().lastCall(), lastWake_.load(), adoptedAt_ });
        const bool silent = !engine_->renderer().asleep()
            && nanosNow() - lastSign > std::chrono::nanoseconds(stallAfter).count();
        if (silent && !stalled_)
            qCInfo(outputLog, "%s: stalled, no cycle for %lld ms; waiting for it", outputName_,
                millis(std::chrono::nanoseconds(nanosNow() - lastSign)));
        else if (!silent && stalled_)
            qCInfo(outputLog, "%s: cycles again after a stall", outputName_);
        stalled_ = silent;
    }
}

void OutputSupervisor::letGo(std::unique_ptr<AudioOutput> output, std::chrono::milliseconds waitForClose)
{
    listening_.store(nullptr);
    while (inListener_.load() != 0)
        std::this_thread::yield();
    output->gate().close();
    // Closing may wait on a server that hangs: it ends on a thread of its own.
    std::promise<void> closed;
    auto done = closed.get_future();
    std::thread([output = std::move(output), engine = engine_, closed = std::move(closed)]() mutable {
        output.reset();
        closed.set_value();
    }).detach();
    if (waitForClose > 0ms && done.wait_for(waitForClose) != std::future_status::ready)
        qCInfo(outputLog, "synth: an output did not close within %lld ms; it closes on its own",
            millis(waitForClose));
}

void OutputSupervisor::wentIdle()
{
    inListener_.fetch_add(1);
    if (AudioOutput* output = listening_.load())
        output->wentIdle();
    inListener_.fetch_sub(1);
}

void OutputSupervisor::woke()
{
    lastWake_.store(nanosNow());
    inListener_.fetch_add(1);
    if (AudioOutput* output = listening_.load())
        output->woke();
    inListener_.fetch_sub(1);
}
