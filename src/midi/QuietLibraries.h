#pragma once

// libjack, libasound and FluidSynth write to stderr when no JACK server runs,
// no sound card is there or a driver fails. Those are ordinary cases here:
// their messages go to the output log instead, and the program reports a
// failed open its own way. Safe to call from any thread, any number of times.
void quietSoundLibraries();
