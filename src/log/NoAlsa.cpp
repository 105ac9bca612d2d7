#include "log/SoundLibraryLogs.h"

// Built without ALSA: nothing of it can write to stderr.
void routeAlsaLog() { }
