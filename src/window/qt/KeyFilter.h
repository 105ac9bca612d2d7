#pragma once

#include <functional>
#include <set>

#include <QObject>

#include "window/ComputerKey.h"

class QKeyEvent;
class QWidget;

// What the window does with the keys.
struct KeyHandlers {
    std::function<void(const ComputerKey&)> keyDown;
    std::function<void(const ComputerKey&)> keyUp;
    // The window lost the activation.
    std::function<void()> deactivate;
};

// The one place where key events enter the keyboard window. It hands each
// real press and release to the window's key handlers once, before the
// focused control sees it, and lets the event go on. It also tells the
// window when it loses the activation.
class KeyFilter : public QObject {
public:
    KeyFilter(QWidget& window, KeyHandlers handlers);
    ~KeyFilter() override;

    KeyFilter(const KeyFilter&) = delete;
    KeyFilter& operator=(const KeyFilter&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Whether a key event is a real press or release, not the platform
    // repeating a held key; keeps count of the keys held down.
    bool isReal(const QKeyEvent& key);
    bool isFormOrItsMenu(const QWidget* widget) const;
    bool isFormWindow(const QObject* window) const;

    QWidget& window_;
    KeyHandlers handlers_;
    // The physical keys (native scan codes) held down in the window.
    std::set<quint32> down_;
};
