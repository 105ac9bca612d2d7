#include "window/HeldKeys.h"

#include <algorithm>

std::vector<const KeyBinding*> HeldKeys::releaseAll()
{
    std::vector<const KeyBinding*> released;
    for (const auto& key : KeyMap)
        if (slot(key) != 0) {
            release(key);
            released.push_back(&key);
        }
    return released;
}

bool HeldKeys::holdsKey(int16_t keyIndex) const
{
    return std::any_of(KeyMap.begin(), KeyMap.end(),
        [&](const KeyBinding& key) { return key.keyIndex == keyIndex && slot(key) != 0; });
}
