#pragma once

// Registers stand-ins for the caption fonts that a system may lack, so that
// Chinese captions always draw as real glyphs.
void registerFontSubstitutes();
