#include "AlsaConfig.h"

#include <filesystem>

std::string cardAsDefault(
    [[maybe_unused]] const std::string& file, [[maybe_unused]] const std::string& options)
{
#ifdef TONVELO_ALSA_CARD
    return "pcm.!default { type tonvelo_card file \"" + file + "\" " + options + " }\n"
        + "pcm_type.tonvelo_card { lib \"" TONVELO_ALSA_CARD "\" }\n";
#else
    return {};
#endif
}

std::string pipeWirePluginAsDefault()
{
    const std::string plugin
        = TONVELO_PIPEWIRE_ALSA_ROOT "/usr/lib/x86_64-linux-gnu/alsa-lib/libasound_module_pcm_pipewire.so";
    if (!std::filesystem::exists(plugin))
        return {};
    return "pcm_type.pipewire { lib \"" + plugin + "\" }\n"
        + "pcm.!default { type pipewire playback_node \"-1\" capture_node \"-1\" }\n";
}
