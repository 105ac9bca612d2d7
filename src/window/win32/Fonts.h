#pragma once

#include <windows.h>

#include "window/Controls.h"

// A control's font at `pixelsPerInch` (the window's DPI times its fit), at
// normal weight in `charset`. A family the system lacks falls back: "华文行楷"
// to "楷体", which comes with Chinese Windows.
HFONT createControlFont(const ControlFont& font, BYTE charset, double pixelsPerInch);
// The system's message font, for the key captions, at the same size.
HFONT createCaptionFont(UINT dpi, double fit);
