#pragma once

#include <string>

// Texts for a program's ALSA_CONFIG_PATH that leave the machine's own set-up
// alone, whose default device is the test card (AlsaCard.cpp) writing to
// `file`, or PipeWire's own plugin unpacked from its package, as a desktop's
// sound packages make it. Empty when there is no such device here.
std::string cardAsDefault(const std::string& file, const std::string& options = {});
std::string pipeWirePluginAsDefault();
