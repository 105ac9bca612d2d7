#pragma once

// What ALSA's `device` is, as FluidSynth's ALSA driver would open it.

// The rate it plays at when asked for `wanted`: the nearest it takes, since
// a card that does not resample may refuse `wanted`. `wanted` when the
// device does not open.
unsigned alsaRate(const char* device, unsigned wanted);

// The sound server whose own ALSA plugin the device plays through
// ("pipewire" or "pulseaudio"), as a desktop's sound packages make ALSA's
// default; null for a card or any other device.
const char* alsaServerPlugin(const char* device);
