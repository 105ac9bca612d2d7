#pragma once

#include <QtGlobal>

// Qt ends the process with abort() when no window system answers, as when
// there is no display. That is an ordinary condition, not a crash. Alive while
// QApplication is constructed: Qt's messages wait until then, and a fatal one
// ends the program with a short note and a failure status instead.
class WindowSystemStart {
public:
    WindowSystemStart();
    // Puts the previous message handler back and passes on what Qt said meanwhile.
    ~WindowSystemStart();

    WindowSystemStart(const WindowSystemStart&) = delete;
    WindowSystemStart& operator=(const WindowSystemStart&) = delete;

private:
    QtMessageHandler previous_;
};
