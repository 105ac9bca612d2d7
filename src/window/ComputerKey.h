#pragma once

#include <cstdint>

// A computer key as a window's platform reports it: which physical key it
// is and what the layout puts on it.
struct ComputerKey {
    // The PC scan code (set 1; extended keys 0xE0xx), as Windows reports it
    // and as Linux numbers the main block; 0 when the platform gave none.
    uint16_t physical = 0;
    // The layout's character on the key as the platform reports it (a
    // letter in either case, punctuation perhaps shifted); 0 for none.
    char32_t character = 0;
    // Shift 1, Ctrl 2, Alt 4, added up.
    int16_t shift = 0;
};

// The virtual-key code a key stands for: a Latin letter by its letter, a
// letter of another script (Russian, Greek, ...) by the US letter on its
// physical key; ";" "," "." "/" always by their physical key, so that neither
// Shift nor the layout changes which key it is. 0 for a key that plays nothing.
int16_t keyCodeOf(const ComputerKey& key);
