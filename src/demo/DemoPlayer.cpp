#include "demo/DemoPlayer.h"

#include <thread>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {

// Events are taken until this long before a step is due; the rest of the
// wait is slept through, so that a repaint never makes a step late.
constexpr std::chrono::milliseconds eventMargin { 3 };

} // namespace

DemoPlayer::DemoPlayer(QWidget* window)
    : window_(window)
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
    if (!window_->isVisible())
        return false;
    playing_ = true;
    activationLost_ = false;
    window_->installEventFilter(this);
    for (;;) {
        playOnce(tune, perform);
        if (closeHeld_ || replays_ == 0)
            break;
        --replays_;
    }
    replays_ = 0;
    window_->removeEventFilter(this);
    playing_ = false;
    // The input held back meanwhile is handled once the event loop wakes;
    // without a wake-up it would wait for the next event to come in.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->wakeUp();
    if (closeHeld_) {
        closeHeld_ = false;
        window_->close();
        return false;
    }
    if (!activationLost_)
        return false;
    // The activation changes went by while the input waited, so the input
    // cannot tell which of its presses came before the loss. Taking it now
    // lets the caller let go of what it leaves held.
    QCoreApplication::processEvents();
    return true;
}

bool DemoPlayer::eventFilter(QObject* watched, QEvent* event)
{
    // Closes from the window system wait in the input queue by themselves;
    // this holds back the ones that come straight from the program.
    if (watched == window_ && event->type() == QEvent::Close) {
        event->ignore();
        closeHeld_ = true;
        return true;
    }
    if (watched == window_ && event->type() == QEvent::WindowDeactivate)
        activationLost_ = true;
    return false;
}

void DemoPlayer::playOnce(std::span<const DemoStep> tune, const Perform& perform)
{
    auto deadline = clock_->now();
    for (const DemoStep& step : tune) {
        perform(step);
        deadline += std::chrono::milliseconds(step.pause);
        waitUntil(deadline);
    }
}

void DemoPlayer::waitUntil(DemoClock::time_point deadline)
{
    for (;;) {
        const auto left = clock_->realTime(deadline - clock_->now());
        if (left <= eventMargin)
            break;
        QTimer wake;
        wake.setSingleShot(true);
        wake.setTimerType(Qt::PreciseTimer);
        wake.start(std::chrono::duration_cast<std::chrono::milliseconds>(left - eventMargin));
        // Paint and timer events go on; user input stays queued, in order.
        const auto flags = QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents;
        while (wake.isActive())
            QCoreApplication::processEvents(flags);
    }
    for (auto left = deadline - clock_->now(); left > left.zero(); left = deadline - clock_->now())
        std::this_thread::sleep_for(clock_->realTime(left));
}
