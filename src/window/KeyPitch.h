#pragma once

#include <QString>

// A key's pitch in the usual notation: note 60 is "C4", the black key above
// it "C♯4". Read off the key grid, so it needs no table of its own.
QString pitchName(int keyIndex);
