#include "demo/DemoPlayer.h"

namespace {

// Events are taken until this long before a step is due; the rest of the
// wait is slept through, so that a repaint never makes a step late.
constexpr std::chrono::milliseconds eventMargin { 3 };

} // namespace

DemoPlayer::DemoPlayer(DemoHost& host)
    : host_(host)
    , clock_(std::make_unique<SteadyDemoClock>())
{
}

DemoPlayer::~DemoPlayer() = default;

void DemoPlayer::setClock(std::unique_ptr<DemoClock> clock)
{
    clock_ = std::move(clock);
}

bool DemoPlayer::play(std::span<const DemoStep> tune, const Perform& perform)
{
    if (playing_) {
        // Started again from within one of our own waits (a click that did not
        // come through the input queue): it plays once this one has ended.
        ++replays_;
        return false;
    }
    if (!host_.isShown())
        return false;
    const bool outermost = !holding_;
    if (outermost) {
        holding_ = true;
        activationLost_ = false;
        host_.startHolding(*this);
    }
    playing_ = true;
    for (;;) {
        playOnce(tune, perform);
        if (closeRequested_ || replays_ == 0)
            break;
        --replays_;
    }
    replays_ = 0;
    playing_ = false;
    if (closeRequested_) {
        // Closing ends the program: what waited goes unheard.
        closeRequested_ = false;
        host_.dropDeferredInput();
        host_.closeWindow();
    }
    // A tune started by held input ends before the rest of that input is handed on.
    if (!outermost)
        return false;
    handOnDeferredInput();
    host_.stopHolding();
    holding_ = false;
    return activationLost_;
}

void DemoPlayer::handOnDeferredInput()
{
    // A tune started by held input holds what comes meanwhile behind the rest.
    while (host_.isShown() && host_.handOnDeferredInput()) { }
    host_.dropDeferredInput();
}

void DemoPlayer::playOnce(std::span<const DemoStep> tune, const Perform& perform)
{
    auto deadline = clock_->now();
    for (const DemoStep& step : tune) {
        if (closeRequested_)
            return;
        perform(step);
        deadline += std::chrono::milliseconds(step.pause);
        waitUntil(deadline);
    }
}

void DemoPlayer::waitUntil(DemoClock::time_point deadline)
{
    // Even a step that is late already takes what came meanwhile, so that a
    // close request ends the tune before the next step.
    host_.takeWaitingEvents();
    const auto left = clock_->realTime(deadline - clock_->now());
    if (left > eventMargin && !closeRequested_)
        host_.takeEventsFor(left - eventMargin, [this] { return closeRequested_; });
    // The rest is slept through on the clock: a wake-up that comes late
    // never moves the deadlines after it.
    if (!closeRequested_)
        clock_->sleepUntil(deadline);
}
