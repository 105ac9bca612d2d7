#pragma once

// The rate ALSA's `device` plays at when asked for `wanted`: the nearest it
// takes, since a card that does not resample may refuse `wanted`. `wanted`
// when the device does not open.
unsigned alsaRate(const char* device, unsigned wanted);
