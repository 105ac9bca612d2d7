#pragma once

#include <cstdint>
#include <functional>
#include <unordered_map>

#include <QObject>

#include "window/HeldKeys.h"

class QWidget;

// What the window does with the keys.
struct KeyHandlers {
    std::function<void(int16_t keyCode, int16_t shift)> keyDown;
    std::function<void(int16_t keyCode, int16_t shift)> keyUp;
    // The window lost the activation.
    std::function<void()> deactivate;
};

// The one place where key events enter the keyboard window. It hands each
// real press and release to the window's key handlers once, before the
// focused control sees it, and lets the event go on. It also tells the
// window when it loses the activation.
class KeyFilter : public QObject {
public:
    KeyFilter(QWidget& window, const HeldKeys& held, KeyHandlers handlers);
    ~KeyFilter() override;

    KeyFilter(const KeyFilter&) = delete;
    KeyFilter& operator=(const KeyFilter&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The code a key event stands for. A release stands for what its physical
    // key meant when pressed, even if the layout changed meanwhile.
    int16_t matchToPress(bool press, quint32 physicalKey, int16_t code);
    bool isFormOrItsMenu(const QWidget* widget) const;
    bool isFormWindow(const QObject* window) const;

    QWidget& window_;
    const HeldKeys& held_;
    KeyHandlers handlers_;
    // The code each physical key (native scan code) had when pressed.
    std::unordered_map<quint32, int16_t> pressed_;
};
