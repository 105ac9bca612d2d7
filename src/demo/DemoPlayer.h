#pragma once

#include <functional>
#include <memory>
#include <span>

#include <QObject>

#include "demo/DemoClock.h"
#include "demo/DemoTune.h"
#include "demo/HeldInput.h"

class QWidget;

// Plays a tune on the calling thread, as a handler that sleeps between its
// steps would: the call returns after the last pause, and until then no user
// input is handled; it is held and handed on afterwards, in order. Unlike a
// sleep, the window keeps painting meanwhile, a close request ends the tune and
// closes the window at once, and each step goes out at the start time plus the
// pauses before it, so late wake-ups never add up.
class DemoPlayer : public QObject {
    Q_OBJECT
public:
    using Perform = std::function<void(const DemoStep&)>;

    explicit DemoPlayer(QWidget* window);
    ~DemoPlayer() override;

    void setClock(std::unique_ptr<DemoClock> clock);

    // True when the window lost the activation while the tune played. Input
    // held back meanwhile has then been handled when this returns: keys
    // pressed in it may have come up in another window.
    bool play(std::span<const DemoStep> tune, const Perform& perform);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void playOnce(std::span<const DemoStep> tune, const Perform& perform);
    void waitUntil(DemoClock::time_point deadline);
    void handOnHeldInput();

    QWidget* window_;
    std::unique_ptr<DemoClock> clock_;
    bool playing_ = false;
    int replays_ = 0;
    bool closeRequested_ = false;
    bool activationLost_ = false;
    // Input that came in while a tune played.
    HeldInput held_;
    bool holding_ = false;
};
