#include "SinkMonitor.h"

#include <cmath>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr int rate = 44100;
constexpr int chunkFrames = 32;
constexpr float quietLevel = 3e-5f;
constexpr float loudLevel = 1.5e-4f;

} // namespace

SinkMonitor::SinkMonitor(const std::string& server)
{
    const pa_sample_spec spec { PA_SAMPLE_FLOAT32NE, rate, 1 };
    pa_buffer_attr attr {};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.fragsize = chunkFrames * sizeof(float);
    source_ = pa_simple_new(server.c_str(), "tonvelo-bench", PA_STREAM_RECORD, "@DEFAULT_MONITOR@", "monitor",
        &spec, nullptr, &attr, nullptr);
    if (source_)
        thread_ = std::thread(&SinkMonitor::run, this);
}

SinkMonitor::~SinkMonitor()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (source_)
        pa_simple_free(source_);
}

bool SinkMonitor::waitForSilence(std::chrono::milliseconds span, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        if (Clock::now() - Clock::time_point(Clock::duration(lastNoise_.load())) > span)
            return true;
        std::this_thread::sleep_for(5ms);
    }
    return false;
}

void SinkMonitor::arm()
{
    onset_.store(0);
    armed_.store(true);
}

std::optional<SinkMonitor::Clock::time_point> SinkMonitor::waitForOnset(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        if (const auto at = onset_.load())
            return Clock::time_point(Clock::duration(at));
        std::this_thread::sleep_for(1ms);
    }
    return std::nullopt;
}

void SinkMonitor::run()
{
    std::vector<float> chunk(chunkFrames);
    while (!stop_ && pa_simple_read(source_, chunk.data(), chunk.size() * sizeof(float), nullptr) >= 0) {
        const auto now = Clock::now();
        for (size_t i = 0; i < chunk.size(); ++i) {
            const float level = std::fabs(chunk[i]);
            const auto played = now - std::chrono::microseconds((chunk.size() - i) * 1'000'000 / rate);
            if (level >= quietLevel)
                lastNoise_.store(played.time_since_epoch().count());
            if (level >= loudLevel && armed_.exchange(false))
                onset_.store(played.time_since_epoch().count());
        }
    }
}
