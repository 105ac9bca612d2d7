#pragma once

#include "audio/Playback.h"

// The sound servers the built-in synth plays through, first choice first.
extern const PlaybackOrder serverOrder;
