#pragma once

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
    bool isFormOrItsMenu(const QWidget* widget) const;
    bool isFormWindow(const QObject* window) const;

    Form1& form_;
};
