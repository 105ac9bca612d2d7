#include "ProgramOnX.h"

#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "XWindows.h"

namespace {

Environment onDisplay(const std::string& display, const Environment& extra)
{
    Environment env { "DISPLAY=" + display, "QT_QPA_PLATFORM=xcb" };
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

} // namespace

ProgramOnX::ProgramOnX(const std::string& program, const std::string& display, const Environment& extraEnv)
    : ProgramOnX(std::vector<std::string> { program }, display, extraEnv)
{
}

ProgramOnX::ProgramOnX(
    const std::vector<std::string>& args, const std::string& display, const Environment& extraEnv)
    : display_(display)
    , process_(args, onDisplay(display, extraEnv))
{
}

unsigned long ProgramOnX::waitForMainWindow(std::chrono::milliseconds timeout)
{
    const Environment env { "DISPLAY=" + display_ };
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline && process_.running()) {
        const auto found
            = runCommand({ "xdotool", "search", "--onlyvisible", "--pid", std::to_string(process_.pid()) },
                std::chrono::seconds(10), env);
        std::istringstream ids(found.output);
        unsigned long id = 0;
        while (ids >> id) {
            if (xwindows::transientFor(display_, id) == 0)
                return id;
            // The message box: its OK button is the default one.
            runCommand({ "xdotool", "key", "--window", std::to_string(id), "Return" },
                std::chrono::seconds(10), env);
            answered_.insert(id);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return 0;
}

QImage ProgramOnX::settledPicture(unsigned long window, std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    QImage last = xwindows::grab(display_, window);
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        QImage next = xwindows::grab(display_, window);
        if (!next.isNull() && next == last)
            return next;
        last = next;
    }
    return {};
}
