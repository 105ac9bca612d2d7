#include "demo/DemoPlayer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

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
    const bool outermost = !holding_;
    if (outermost) {
        holding_ = true;
        activationLost_ = false;
        QCoreApplication::instance()->installEventFilter(this);
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
        held_.clear();
        window_->close();
    }
    // A tune started by held input ends before the rest of that input is handed on.
    if (!outermost)
        return false;
    handOnHeldInput();
    QCoreApplication::instance()->removeEventFilter(this);
    holding_ = false;
    return activationLost_;
}

void DemoPlayer::handOnHeldInput()
{
    // A tune started by held input holds what comes meanwhile behind the rest.
    while (!held_.empty() && window_->isVisible())
        held_.handOnNext();
    held_.clear();
}

bool DemoPlayer::eventFilter(QObject* watched, QEvent* event)
{
    const bool toWindow = watched == window_ || watched == static_cast<QObject*>(window_->windowHandle());
    if (toWindow && event->type() == QEvent::Close && playing_) {
        // From the window system or the program alike: the tune ends at the
        // step it is at, and the window closes once the tune has unwound.
        closeRequested_ = true;
        event->ignore();
        return true;
    }
    if (watched == window_ && event->type() == QEvent::WindowDeactivate)
        activationLost_ = true;
    // Input enters through a window; what it forwards to the controls is its
    // own. Once the tune has ended, input goes on as usual: a handler of held
    // input may need it (a message box).
    if (!watched->isWindowType() || !playing_)
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Taken as the focus's own key, so that no shortcut acts now; the
        // press follows and is held.
        event->accept();
        return true;
    }
    return held_.hold(static_cast<QWindow*>(watched), event);
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
    QCoreApplication::processEvents();
    const auto left = clock_->realTime(deadline - clock_->now());
    if (left > eventMargin && !closeRequested_) {
        QTimer wake;
        wake.setSingleShot(true);
        wake.setTimerType(Qt::PreciseTimer);
        wake.start(std::chrono::duration_cast<std::chrono::milliseconds>(left - eventMargin));
        // Every event comes in, so that a close request is seen; the filter
        // holds the user's input.
        while (wake.isActive() && !closeRequested_)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    // The rest is slept through on the clock: a wake-up that comes late
    // never moves the deadlines after it.
    if (!closeRequested_)
        clock_->sleepUntil(deadline);
}
