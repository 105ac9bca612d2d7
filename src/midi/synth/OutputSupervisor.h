#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <iterator>
#include <memory>
#include <mutex>
#include <thread>

#include "midi/synth/AudioOutput.h"
#include "midi/synth/IdleRenderer.h"

class SynthEngine;
struct PendingOpen;

// Keeps the synth playing through one sound server at a time. It walks the
// order of servers until one takes the synth, follows that one while it
// plays, and walks the order again when it is gone: a server that comes
// back or another one that appears takes the synth within a second or two.
// A server that only stalls keeps it. No call into a sound library holds
// this object's owner for long: every open has a deadline, and an output
// that is let go closes on a thread of its own.
class OutputSupervisor : IdleRenderer::Listener {
public:
    explicit OutputSupervisor(std::shared_ptr<SynthEngine> engine);
    ~OutputSupervisor() override;

    OutputSupervisor(const OutputSupervisor&) = delete;
    OutputSupervisor& operator=(const OutputSupervisor&) = delete;

    // Waits until the first walk of the order ends or `timeout` passes;
    // whether the synth plays by then.
    bool waitUntilTried(std::chrono::milliseconds timeout);
    bool playing() const { return playing_.load(); }

private:
    void run();
    std::unique_ptr<AudioOutput> walkOrder();
    std::unique_ptr<AudioOutput> tryOpen(const AudioOutputKind& kind, size_t index);
    void adopt(std::unique_ptr<AudioOutput> output, const char* name);
    void follow();
    // Sets the synth to the output's rate, with its gate closed.
    void followRate();
    void letGo(std::unique_ptr<AudioOutput> output, std::chrono::milliseconds waitForClose);
    // Sleeps up to `time`; false when stopping.
    bool pause(std::chrono::milliseconds time);

    void wentIdle() override;
    void woke() override;

    std::shared_ptr<SynthEngine> engine_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    bool tried_ = false;
    std::atomic<bool> playing_ { false };

    // The supervisor's thread only.
    std::unique_ptr<AudioOutput> output_;
    const char* outputName_ = nullptr;
    const char* lostName_ = nullptr;
    bool stalled_ = false;
    double rate_ = 0;
    int64_t adoptedAt_ = 0;
    std::shared_ptr<PendingOpen> pending_[std::size(audioOutputOrder)];

    // What the idle renderer's calls reach, from the rendering and sending threads.
    std::atomic<AudioOutput*> listening_ { nullptr };
    std::atomic<int> inListener_ { 0 };
    std::atomic<int64_t> lastWake_ { 0 };

    std::thread thread_;
};
