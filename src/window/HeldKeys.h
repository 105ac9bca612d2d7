#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "window/KeyMap.h"

// The computer keys held down. Slot s of KeyMap is codes[s - 1]: the key's
// code while it is held, else 0.
class HeldKeys {
public:
    std::array<int16_t, KeyMap.size()> codes {};

    // Whether the slot of `key` holds `code`: a press of it is the platform repeating the key.
    bool holds(const KeyBinding& key, int16_t code) const { return slot(key) == code; }
    void hold(const KeyBinding& key, int16_t code) { slot(key) = code; }
    void release(const KeyBinding& key) { slot(key) = 0; }
    // Releases every slot that holds a key and returns their bindings.
    std::vector<const KeyBinding*> releaseAll();
    // Whether some computer key holds key button `keyIndex`; two may hold one.
    bool holdsKey(int16_t keyIndex) const;

private:
    int16_t& slot(const KeyBinding& key) { return codes[static_cast<size_t>(key.slot - 1)]; }
    int16_t slot(const KeyBinding& key) const { return codes[static_cast<size_t>(key.slot - 1)]; }
};
