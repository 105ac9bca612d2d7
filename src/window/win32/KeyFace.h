#pragma once

#include <windows.h>

#include "window/KeyGrid.h"

// Paints an owner-drawn key button as keyLook declares it, at the window's scale.
void paintKey(const DRAWITEMSTRUCT& item, const KeyInfo& key, bool pushed, double scale, HFONT font);
