#pragma once

#include <atomic>

// libjack, libasound and FluidSynth write to stderr when no JACK server runs,
// no sound card is there or a driver fails. Those are ordinary cases here:
// their messages go to the output log instead, and the program reports a
// failed open its own way. Safe to call from any thread, any number of times.
void quietSoundLibraries();

// From an audio driver's own thread: an error FluidSynth reports on this
// thread from now on sets `failed`, so that a driver that gave up is told
// apart from one whose server only stalls.
void watchFluidErrorsOnThisThread(std::atomic<bool>* failed);
