#include "window/KeyPresses.h"

void KeyPresses::press(uint16_t physical, int16_t code, bool sounds)
{
    // A platform that gives no physical key leaves nothing to match by.
    if (physical != 0)
        presses_[physical] = { code, sounds };
}

int16_t KeyPresses::release(uint16_t physical, int16_t code)
{
    const auto it = presses_.find(physical);
    if (it == presses_.end())
        return code;
    const Press press = it->second;
    presses_.erase(it);
    return press.sounds ? press.code : 0;
}

void KeyPresses::silenceAll()
{
    for (auto& [physical, press] : presses_)
        press.sounds = false;
}
