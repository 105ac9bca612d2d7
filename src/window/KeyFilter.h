#pragma once

#include <cstdint>
#include <unordered_map>

#include <QObject>

class Form1;

// The one place where key events enter the keyboard window. It hands each
// real press and release to Form1's key handlers once, before the focused
// control sees it, and lets the event go on. It also tells Form1 when the
// window loses the activation.
class KeyFilter : public QObject {
public:
    explicit KeyFilter(Form1& form);
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

    Form1& form_;
    // The code each physical key (native scan code) had when pressed.
    std::unordered_map<quint32, int16_t> pressed_;
};
