#pragma once

#include <cstdint>

#include <QKeyEvent>

// The virtual-key code of a key event: a letter by its letter in a Latin
// layout, and in a layout of another script by the physical key that carries
// it on a US layout; ";" "," "." "/" always by their physical key, so neither
// Shift nor the layout changes which key it is. Keys that play nothing may
// come out as 0.
int16_t keyCodeOf(const QKeyEvent& event);

// Shift 1, Ctrl 2, Alt 4, added up.
int16_t shiftStateOf(Qt::KeyboardModifiers modifiers);
