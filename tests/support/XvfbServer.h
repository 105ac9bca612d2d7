#pragma once

#include <string>

#include "ServerProcess.h"

// A private X server for one test. Xvfb picks a free display number itself
// (-displayfd), so it never meets another session's server.
class XvfbServer : public ServerProcess {
public:
    explicit XvfbServer(const std::string& screen = "1280x1024x24", int dpi = 96);

    // ":N", for DISPLAY.
    const std::string& display() const { return display_; }

private:
    bool readDisplay();

    std::string display_;
};
