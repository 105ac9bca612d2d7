#pragma once

#include <windows.h>

#include "window/KeyGrid.h"

// Paints an owner-drawn key button: a grey frame one pixel wide (at the
// window's scale), its face in the key's colour, a darker face while the mouse
// holds it, the caption in numbered notation and the focus indicator.
void paintKey(const DRAWITEMSTRUCT& item, const KeyInfo& key, bool pushed, double scale, HFONT font);
