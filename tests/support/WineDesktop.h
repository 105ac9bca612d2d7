#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "Command.h"
#include "ProgramOnX.h"
#include "XvfbServer.h"

// Windows programs under Wine, on a private Xvfb with openbox (without a
// window manager Wine waits 2 s for every window it closes). The Wine prefix
// lives in the build tree: made once, with fonts for the Chinese captions,
// and shared by the tests, which CTest runs one at a time on it. Everything
// Wine started for the prefix ends with the object.
class WineDesktop {
public:
    explicit WineDesktop(std::string prefix);
    ~WineDesktop();

    WineDesktop(const WineDesktop&) = delete;
    WineDesktop& operator=(const WineDesktop&) = delete;

    // Whether the prefix, the display and its window manager are there.
    bool ready() const { return ready_; }
    // What went wrong when not.
    const std::string& failure() const { return failure_; }
    // How long making the prefix took; zero when an earlier run had made it.
    std::chrono::milliseconds prefixTime() const { return prefixTime_; }

    // The environment of the prefix's programs; the DLL overrides of `extra`
    // come on top of the prefix's own.
    Environment environment(const Environment& extra = {}) const;
    // `wine program args...` to its end.
    CommandResult run(const std::vector<std::string>& args,
        std::chrono::milliseconds timeout = std::chrono::seconds(60), const Environment& extra = {}) const;
    // `wine program args...` as a user would start it on the display.
    std::unique_ptr<ProgramOnX> start(
        const std::vector<std::string>& args, const Environment& extra = {}) const;

    // The same file as Windows programs see it, on Wine's drive Z:.
    static std::string windowsPath(const std::string& unixPath);
    // The prefix's C: drive, as a Linux path.
    std::string driveC() const { return prefix_ + "/drive_c"; }
    const XvfbServer& x() const { return x_; }
    // Wine's server, which works for every program of the prefix.
    pid_t serverPid() const { return server_ ? server_->pid() : 0; }

private:
    bool makePrefix();

    std::string prefix_;
    XvfbServer x_;
    std::unique_ptr<RunningProgram> openbox_;
    std::unique_ptr<RunningProgram> server_;
    bool ready_ = false;
    std::string failure_;
    std::chrono::milliseconds prefixTime_ { 0 };
};
