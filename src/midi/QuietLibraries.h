#pragma once

// libjack and libasound write to stderr when no JACK server runs or no sound
// card is there. Both are ordinary cases here, and the program reports a
// failed open its own way. Safe to call from any thread, any number of times.
void quietSoundLibraries();
