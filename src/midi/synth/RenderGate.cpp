#include "midi/synth/RenderGate.h"

#include <chrono>
#include <thread>

#include "midi/synth/IdleRenderer.h"

RenderGate::RenderGate(IdleRenderer& renderer)
    : renderer_(renderer)
{
}

bool RenderGate::enter()
{
    inside_.fetch_add(1);
    if (open_.load())
        return true;
    inside_.fetch_sub(1);
    return false;
}

bool RenderGate::render(float* left, float* right, int frames, int step)
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    lastCall_.store(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now).count(), std::memory_order_relaxed);
    if (!enter()) {
        for (int i = 0; i < frames; ++i)
            left[i * step] = right[i * step] = 0.0f;
        return false;
    }
    const bool rendered = renderer_.render(left, right, frames, step);
    inside_.fetch_sub(1);
    return rendered;
}

void RenderGate::open()
{
    open_.store(true);
}

void RenderGate::close()
{
    open_.store(false);
    // A render that went in finishes within one period.
    while (inside_.load() != 0)
        std::this_thread::yield();
}
