#pragma once

#include <string>

// Private ALSA set-ups, for a program's ALSA_CONFIG_PATH, that leave the
// machine's own alone. Each is the text of the configuration file.

// The default device is the test card (AlsaCard.cpp) playing into `file`,
// with `options` such as "stops 300"; empty when built without ALSA.
std::string cardAsDefault(const std::string& file, const std::string& options = {});
// The default device is PipeWire's own ALSA plugin, as a desktop's sound
// packages make it: unpacked from its package, never installed. Empty when
// it was not unpacked.
std::string pipeWirePluginAsDefault();
