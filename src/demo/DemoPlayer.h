#pragma once

#include <functional>
#include <memory>
#include <span>

#include "demo/DemoClock.h"
#include "demo/DemoHost.h"
#include "demo/DemoTune.h"

// Plays a tune on the calling thread, as a handler that sleeps between its
// steps would: the call returns after the last pause, and until then no user
// input is handled; it is held and handed on afterwards, in order. Unlike a
// sleep, the window keeps painting meanwhile, a close request ends the tune and
// closes the window at once, and each step goes out at the start time plus the
// pauses before it, so late wake-ups never add up.
class DemoPlayer {
public:
    using Perform = std::function<void(const DemoStep&)>;

    explicit DemoPlayer(DemoHost& host);
    ~DemoPlayer();

    DemoPlayer(const DemoPlayer&) = delete;
    DemoPlayer& operator=(const DemoPlayer&) = delete;

    void setClock(std::unique_ptr<DemoClock> clock);

    // True when the window lost the activation while the tune played. Input
    // held back meanwhile has then been handled when this returns: keys
    // pressed in it may have come up in another window.
    bool play(std::span<const DemoStep> tune, const Perform& perform);

    // While a tune plays, user input waits for its end.
    bool playing() const { return playing_; }
    // From the window system or the program alike: the tune ends at the step
    // it is at, and the window closes once the tune has unwound.
    void requestClose() { closeRequested_ = true; }
    void noteActivationLost() { activationLost_ = true; }

private:
    void playOnce(std::span<const DemoStep> tune, const Perform& perform);
    void waitUntil(DemoClock::time_point deadline);
    void handOnDeferredInput();

    DemoHost& host_;
    std::unique_ptr<DemoClock> clock_;
    bool playing_ = false;
    int replays_ = 0;
    bool closeRequested_ = false;
    bool activationLost_ = false;
    bool holding_ = false;
};
