#include "AlsaConfig.h"

#include <filesystem>

std::string cardAsDefault(
    [[maybe_unused]] const std::string& file, [[maybe_unused]] const std::string& options)
{
#ifdef TONVELO_ALSA_CARD
    return "pcm.!default { type tonvelo_card file \"" + file + "\" " + options
        + " }\npcm_type.tonvelo_card { lib \"" TONVELO_ALSA_CARD "\" }\n";
#else
    return {};
#endif
}

std::string pipeWirePluginAsDefault()
{
    const std::string plugin
        = TONVELO_PIPEWIRE_ALSA_ROOT "/usr/lib/x86_64-linux-gnu/alsa-lib/libasound_module_pcm_pipewire.so";
    return !std::filesystem::exists(plugin)
        ? std::string()
        : "pcm_type.pipewire { lib \"" + plugin + "\" }\npcm.!default { type pipewire }\n";
}
