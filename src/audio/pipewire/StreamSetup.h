#pragma once

#include <cstdint>
#include <string>

#include <pipewire/pipewire.h>
#include <spa/pod/builder.h>

// What the synth's stream tells PipeWire about itself when it connects.

// The program's name, id and icon, what it plays, and the cycle it asks for.
pw_properties* streamProperties(const std::string& latency);
// The one format it plays: two channels of floats at `rate`.
const spa_pod* streamFormat(spa_pod_builder& builder, uint32_t rate);
