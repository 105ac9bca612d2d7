#include "XvfbServer.h"

#include <sstream>

XvfbServer::XvfbServer(const std::string& screen, int dpi)
    : ServerProcess({ .args = { "Xvfb", "-displayfd", "1", "-screen", "0", screen, "-dpi",
                          std::to_string(dpi), "-nolisten", "tcp", "-noreset" },
          .ready = [this] { return readDisplay(); } })
{
    start();
}

// Xvfb writes its display number on a line of its own once it accepts clients.
bool XvfbServer::readDisplay()
{
    std::istringstream lines(output());
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos && lines.good()) {
            display_ = ":" + line;
            return true;
        }
    return false;
}
