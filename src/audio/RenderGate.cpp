#include "audio/RenderGate.h"

#include <chrono>
#include <thread>

#include "audio/IdleRenderer.h"

void Door::close()
{
    open_.store(false);
    while (inside_.load() != 0)
        std::this_thread::yield();
}

RenderGate::RenderGate(IdleRenderer& renderer)
    : renderer_(renderer)
{
}

bool RenderGate::render(float* left, float* right, int frames, int step)
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    lastCall_.store(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now).count(), std::memory_order_relaxed);
    if (!door_.enter()) {
        for (int i = 0; i < frames; ++i)
            left[i * step] = right[i * step] = 0.0f;
        return false;
    }
    const bool rendered = renderer_.render(left, right, frames, step);
    door_.leave();
    return rendered;
}
