#pragma once

#include <sys/types.h>

#include <string>

// A private X server for one test. Xvfb picks a free display number itself
// (-displayfd), so it never meets another session's server; it is ended by
// its PID.
class XvfbServer {
public:
    explicit XvfbServer(const std::string& screen = "1280x1024x24", int dpi = 96);
    ~XvfbServer();

    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool running() const { return pid_ > 0 && !display_.empty(); }
    // ":N", for DISPLAY.
    const std::string& display() const { return display_; }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};
