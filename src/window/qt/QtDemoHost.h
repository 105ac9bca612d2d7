#pragma once

#include <QObject>

#include "demo/DemoHost.h"
#include "window/qt/DeferredInput.h"

class QWidget;

// The Qt window's side of the demo: its event loop runs while the tune
// waits, so that the window keeps painting and a close request is seen; the
// user's input is deferred meanwhile and handed on through Qt's own path.
class QtDemoHost : public QObject, public DemoHost {
public:
    explicit QtDemoHost(QWidget& window);

    bool isShown() const override;
    void startHolding(DemoPlayer& player) override;
    void stopHolding() override;
    void takeWaitingEvents() override;
    void takeEventsFor(
        std::chrono::steady_clock::duration realTime, const std::function<bool()>& stop) override;
    bool handOnDeferredInput() override;
    void dropDeferredInput() override { deferred_.clear(); }
    void closeWindow() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
    DemoPlayer* player_ = nullptr;
    // Input that came in while a tune played.
    DeferredInput deferred_;
};
