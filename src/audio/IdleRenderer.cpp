#include "audio/IdleRenderer.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

// About -120 dB: far below what a 16-bit sound card can play, and far above
// where the reverb's tail keeps changing its buffers in a way one could hear.
constexpr float inaudible = 1e-6f;

// Long enough that a note's own quiet moments and the reverb's pauses between
// echoes never count as the end.
constexpr double quietSecondsBeforeIdle = 0.5;

// Below the smallest step of a 16-bit card: leaving it out cannot be heard.
constexpr float unplayable = 1.0f / 32768;

} // namespace

IdleRenderer::IdleRenderer(fluid_synth_t* synth, double sampleRate)
    : synth_(synth)
    , limiter_(sampleRate)
    , framesBeforeIdle_(static_cast<int>(sampleRate * quietSecondsBeforeIdle))
{
}

void IdleRenderer::setSynth(fluid_synth_t* synth, double sampleRate)
{
    synth_ = synth;
    limiter_ = PeakLimiter(sampleRate);
    framesBeforeIdle_ = static_cast<int>(sampleRate * quietSecondsBeforeIdle);
    blockPlayed_ = blockFrames;
}

// The wake and the idle hand-off each store one flag and then load the
// other's: only sequentially consistent order keeps both sides from missing
// each other, which would leave a note waiting on an idle playback.
void IdleRenderer::wake()
{
    lastWake_.store(std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count(),
        std::memory_order_relaxed);
    wakeRequested_.store(true);
    if ((idle_.load() || silentFrames_.load(std::memory_order_relaxed) > 0) && listenerDoor_.enter()) {
        listener_->woke();
        listenerDoor_.leave();
    }
}

void IdleRenderer::setListener(Listener* listener)
{
    listenerDoor_.close();
    listener_ = listener;
    if (listener)
        listenerDoor_.open();
}

bool IdleRenderer::render(float* left, float* right, int frames, int step)
{
    const bool woken = wakeRequested_.exchange(false);
    if (woken) {
        quietFrames_ = 0;
        idle_.store(false);
    }
    if (idle_.load(std::memory_order_relaxed)) {
        for (int i = 0; i < frames; ++i)
            left[i * step] = right[i * step] = 0.0f;
        countSilent(frames, frames);
        return false;
    }
    if (woken)
        dropSilentRest();
    pull(left, right, frames, step);
    limiter_.process(left, right, frames, step);
    rendered_.fetch_add(static_cast<uint64_t>(frames), std::memory_order_relaxed);

    float peak = 0.0f;
    int silentTail = 0;
    for (int i = 0; i < frames; ++i) {
        const float level = std::max(std::fabs(left[i * step]), std::fabs(right[i * step]));
        peak = std::max(peak, level);
        silentTail = level < unplayable ? silentTail + 1 : 0;
    }
    countSilent(frames, silentTail);
    quietFrames_ = peak < inaudible ? quietFrames_ + frames : 0;
    if (quietFrames_ >= framesBeforeIdle_) {
        idle_.store(true);
        limiter_.reset();
        if (listenerDoor_.enter()) {
            listener_->wentIdle();
            listenerDoor_.leave();
        }
    }
    return true;
}

void IdleRenderer::countSilent(int frames, int silentTail)
{
    const int before = silentFrames_.load(std::memory_order_relaxed);
    silentFrames_.store(silentTail < frames ? silentTail : std::min(before + frames, maxSilentFrames),
        std::memory_order_relaxed);
}

void IdleRenderer::pull(float* left, float* right, int frames, int step)
{
    for (int done = 0; done < frames;) {
        const int wholeBlocks = (frames - done) / blockFrames * blockFrames;
        if (blockPlayed_ == blockFrames && wholeBlocks > 0) {
            fluid_synth_write_float(
                synth_, wholeBlocks, left + done * step, 0, step, right + done * step, 0, step);
            done += wholeBlocks;
            continue;
        }
        if (blockPlayed_ == blockFrames) {
            fluid_synth_write_float(synth_, blockFrames, blockLeft_, 0, 1, blockRight_, 0, 1);
            blockPlayed_ = 0;
        }
        const int n = std::min(frames - done, blockFrames - blockPlayed_);
        for (int i = 0; i < n; ++i) {
            left[(done + i) * step] = blockLeft_[blockPlayed_ + i];
            right[(done + i) * step] = blockRight_[blockPlayed_ + i];
        }
        blockPlayed_ += n;
        done += n;
    }
}

void IdleRenderer::dropSilentRest()
{
    for (int i = blockPlayed_; i < blockFrames; ++i)
        if (std::fabs(blockLeft_[i]) >= unplayable || std::fabs(blockRight_[i]) >= unplayable)
            return;
    blockPlayed_ = blockFrames;
}
