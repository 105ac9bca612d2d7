#include "audio/pipewire/StreamSetup.h"

#include <spa/param/audio/format-utils.h>

pw_properties* streamProperties(const std::string& latency)
{
    return pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback", PW_KEY_MEDIA_ROLE,
        "Music", PW_KEY_NODE_NAME, "Tonvelo", PW_KEY_NODE_DESCRIPTION, "Tonvelo", PW_KEY_APP_NAME, "Tonvelo",
        PW_KEY_APP_ID, TONVELO_APP_ID, PW_KEY_APP_ICON_NAME, TONVELO_APP_ID, PW_KEY_NODE_LATENCY,
        latency.c_str(), nullptr);
}

const spa_pod* streamFormat(spa_pod_builder& builder, uint32_t rate)
{
    spa_audio_info_raw info {};
    info.format = SPA_AUDIO_FORMAT_F32;
    info.rate = rate;
    info.channels = 2;
    info.position[0] = SPA_AUDIO_CHANNEL_FL;
    info.position[1] = SPA_AUDIO_CHANNEL_FR;
    return spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info);
}
