#pragma once

#include <string>

// A key's pitch in the usual notation, in UTF-8: note 60 is "C4", the black
// key above it "C♯4". Read off the key grid, so it needs no table of its own.
std::string pitchName(int keyIndex);
