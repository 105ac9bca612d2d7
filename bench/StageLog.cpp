#include "StageLog.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

StageLog::StageLog()
{
    const char* folder = std::getenv("TMPDIR");
    std::string name = std::string(folder && *folder ? folder : "/tmp") + "/tonvelo-stages-XXXXXX";
    std::vector<char> path(name.begin(), name.end());
    path.push_back('\0');
    const int fd = mkstemp(path.data());
    if (fd < 0)
        return;
    path_ = path.data();
    // A new file reads as zeros: no marks yet.
    if (ftruncate(fd, sizeof(StageMarks)) == 0) {
        void* shared = mmap(nullptr, sizeof(StageMarks), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (shared != MAP_FAILED)
            marks_ = static_cast<StageMarks*>(shared);
    }
    close(fd);
}

StageLog::~StageLog()
{
    if (marks_)
        munmap(marks_, sizeof(StageMarks));
    if (!path_.empty())
        unlink(path_.c_str());
}

std::vector<std::string> StageLog::environment() const
{
    return { std::string("LD_PRELOAD=") + STAGE_PROBE_LIBRARY,
        std::string(stageMarksVariable) + "=" + path_ };
}

std::optional<StageLog::Clock::time_point> StageLog::first(
    StageMarks::Stage stage, Clock::time_point from, Clock::time_point to) const
{
    if (!marks_)
        return std::nullopt;
    const auto nanos = [](Clock::time_point t) {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
    };
    const int64_t begin = nanos(from), end = nanos(to);
    const uint32_t count = std::min(marks_->count.load(std::memory_order_acquire), StageMarks::capacity);
    std::optional<int64_t> found;
    for (uint32_t i = 0; i < count; ++i) {
        const int64_t at = marks_->marks[i].nanos.load(std::memory_order_acquire);
        if (at >= begin && at <= end && marks_->marks[i].stage.load(std::memory_order_relaxed) == stage
            && (!found || at < *found))
            found = at;
    }
    if (!found)
        return std::nullopt;
    return Clock::time_point(std::chrono::nanoseconds(*found));
}
