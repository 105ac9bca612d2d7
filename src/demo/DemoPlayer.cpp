#include "demo/DemoPlayer.h"

#include <thread>

#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
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
    while (!held_.empty() && window_->isVisible()) {
        auto [receiver, handOn] = std::move(held_.front());
        held_.pop_front();
        if (receiver)
            handOn(receiver);
    }
    held_.clear();
}

namespace {

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::NonClientAreaMouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::ContextMenu:
    case QEvent::Enter:
    case QEvent::Leave:
        return true;
    default:
        return false;
    }
}

// How to hand an event on later. A pointer event shares its point with the
// device, which moves it on meanwhile: a mouse or enter event is made afresh,
// from its positions now, when it is handed on.
std::function<void(QObject*)> handOnLater(const QEvent* event)
{
    if (const auto* m = dynamic_cast<const QMouseEvent*>(event)) {
        return
            [type = m->type(), pos = m->position(), scene = m->scenePosition(), global = m->globalPosition(),
                button = m->button(), buttons = m->buttons(), modifiers = m->modifiers(),
                device = m->pointingDevice(), time = m->timestamp()](QObject* receiver) {
                QMouseEvent copy(type, pos, scene, global, button, buttons, modifiers, device);
                copy.setTimestamp(time);
                QCoreApplication::sendEvent(receiver, &copy);
            };
    }
    if (const auto* e = dynamic_cast<const QEnterEvent*>(event)) {
        return [pos = e->position(), scene = e->scenePosition(), global = e->globalPosition()](
                   QObject* receiver) {
            QEnterEvent copy(pos, scene, global);
            QCoreApplication::sendEvent(receiver, &copy);
        };
    }
    return [copy = std::shared_ptr<QEvent>(event->clone())](
               QObject* receiver) { QCoreApplication::sendEvent(receiver, copy.get()); };
}

} // namespace

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
    if (!isUserInput(event->type()))
        return false;
    held_.emplace_back(watched, handOnLater(event));
    return true;
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
    for (;;) {
        const auto left = clock_->realTime(deadline - clock_->now());
        if (left <= eventMargin || closeRequested_)
            break;
        QTimer wake;
        wake.setSingleShot(true);
        wake.setTimerType(Qt::PreciseTimer);
        wake.start(std::chrono::duration_cast<std::chrono::milliseconds>(left - eventMargin));
        // Every event comes in, so that a close request is seen; the filter
        // holds the user's input.
        while (wake.isActive() && !closeRequested_)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (closeRequested_)
        return;
    for (auto left = deadline - clock_->now(); left > left.zero(); left = deadline - clock_->now())
        std::this_thread::sleep_for(clock_->realTime(left));
}
