#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "StageMarks.h"

// The benchmark's side of the stage probe: a marks file of its own, mapped
// here and handed to the probe in the keyboard's environment.
class StageLog {
public:
    using Clock = std::chrono::steady_clock;

    StageLog();
    ~StageLog();

    StageLog(const StageLog&) = delete;
    StageLog& operator=(const StageLog&) = delete;

    bool ok() const { return marks_ != nullptr; }
    // "NAME=value" entries that load the probe into a program and point it here.
    std::vector<std::string> environment() const;
    // The first mark of `stage` in [from, to].
    std::optional<Clock::time_point> first(
        StageMarks::Stage stage, Clock::time_point from, Clock::time_point to) const;

private:
    std::string path_;
    StageMarks* marks_ = nullptr;
};
