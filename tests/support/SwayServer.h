#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include <QImage>
#include <QRect>

#include "Command.h"
#include "ServerProcess.h"
#include "XvfbServer.h"

// A private sway compositor for one test, drawn as one window on a private
// X server of its own: xdotool on that display gives it real pointer and key
// input, as hands would. sway refuses to run as root, so it runs as nobody;
// the programs under test, as root, reach it through the full path of its
// socket.
class SwayServer {
public:
    // A toplevel window as the compositor sees it.
    struct View {
        pid_t pid = -1;
        std::string appId;
        std::string shell; // "xdg_shell" for a native Wayland window
        bool focused = false;
        QRect geometry; // the window's own surface, in logical pixels of the output
    };

    // `outputSize` in device pixels.
    explicit SwayServer(int outputWidth = 1600, int outputHeight = 1600);
    ~SwayServer();

    SwayServer(const SwayServer&) = delete;
    SwayServer& operator=(const SwayServer&) = delete;

    bool running() const { return sway_.running(); }
    const std::string& xDisplay() const { return x_.display(); }
    // What a program needs to start as a native client of a Wayland
    // session: the socket, a runtime folder of its own, and no X display.
    Environment clientEnvironment() const;

    CommandResult swaymsg(const std::vector<std::string>& args) const;
    std::vector<View> views() const;
    // The output's contents within `area` (logical pixels), at the output's scale.
    QImage picture(const QRect& area) const;
    // xdotool on the X display: real key and pointer events. Pointer
    // positions are the output's device pixels.
    bool xdotool(std::vector<std::string> args) const;

private:
    bool serves();

    XvfbServer x_;
    std::string swayRuntime_; // nobody's, holds the sockets
    std::string clientRuntime_;
    std::string socket_;
    std::string ipc_;
    ServerProcess sway_;
};
