#include "window/qt/QtDemoHost.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "demo/DemoPlayer.h"

QtDemoHost::QtDemoHost(QWidget& window)
    : window_(window)
{
}

bool QtDemoHost::isShown() const
{
    return window_.isVisible();
}

void QtDemoHost::startHolding(DemoPlayer& player)
{
    player_ = &player;
    QCoreApplication::instance()->installEventFilter(this);
}

void QtDemoHost::stopHolding()
{
    QCoreApplication::instance()->removeEventFilter(this);
    player_ = nullptr;
}

void QtDemoHost::takeWaitingEvents()
{
    QCoreApplication::processEvents();
}

void QtDemoHost::takeEventsFor(
    std::chrono::steady_clock::duration realTime, const std::function<bool()>& stop)
{
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(std::chrono::duration_cast<std::chrono::milliseconds>(realTime));
    // Every event comes in, so that a close request is seen; the filter
    // defers the user's input.
    while (wake.isActive() && !stop())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

bool QtDemoHost::handOnDeferredInput()
{
    if (deferred_.empty())
        return false;
    deferred_.handOnNext();
    return true;
}

void QtDemoHost::closeWindow()
{
    window_.close();
}

bool QtDemoHost::eventFilter(QObject* watched, QEvent* event)
{
    const bool toWindow = watched == &window_ || watched == static_cast<QObject*>(window_.windowHandle());
    const bool playing = player_ && player_->playing();
    if (toWindow && event->type() == QEvent::Close && playing) {
        player_->requestClose();
        event->ignore();
        return true;
    }
    // Input enters through a window; what it forwards to the controls is its
    // own. Once the tune has ended, input goes on as usual: a handler of deferred
    // input may need it (a message box).
    if (!watched->isWindowType() || !playing)
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Taken as the focus's own key, so that no shortcut acts now; the
        // press follows and is deferred.
        event->accept();
        return true;
    }
    return deferred_.defer(static_cast<QWindow*>(watched), event);
}
