#include "audio/AlsaDevice.h"

#include <cstring>
#include <memory>

#include <alsa/asoundlib.h>

namespace {

using Config = std::unique_ptr<snd_config_t, int (*)(snd_config_t*)>;

// A device that plays through another (plug, softvol, a chain of them) is
// followed this deep at most.
constexpr int deepest = 8;

const char* serverOf(snd_config_t* top, snd_config_t* pcm, int depth);

const char* serverOfDefinition(snd_config_t* top, const char* name, int depth)
{
    snd_config_t* definition = nullptr;
    if (snd_config_search_definition(top, "pcm", name, &definition) < 0)
        return nullptr;
    const Config owned(definition, snd_config_delete);
    return serverOf(top, definition, depth);
}

// Told by the plugin's type, as the servers' packages write it, not by
// opening the device: opening it would reach the server.
const char* serverOf(snd_config_t* top, snd_config_t* pcm, int depth)
{
    snd_config_t* field = nullptr;
    const char* type = nullptr;
    if (snd_config_search(pcm, "type", &field) < 0 || snd_config_get_string(field, &type) < 0)
        return nullptr;
    if (std::strcmp(type, "pipewire") == 0)
        return "pipewire";
    if (std::strcmp(type, "pulse") == 0)
        return "pulseaudio";
    if (depth == deepest || snd_config_search(pcm, "slave.pcm", &field) < 0)
        return nullptr;
    const char* slave = nullptr;
    if (snd_config_get_string(field, &slave) < 0)
        return serverOf(top, field, depth + 1);
    return serverOfDefinition(top, slave, depth + 1);
}

} // namespace

unsigned alsaRate(const char* device, unsigned wanted)
{
    snd_pcm_t* opened = nullptr;
    if (snd_pcm_open(&opened, device, SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
        return wanted;
    const std::unique_ptr<snd_pcm_t, int (*)(snd_pcm_t*)> pcm(opened, snd_pcm_close);
    snd_pcm_hw_params_t* params = nullptr;
    snd_pcm_hw_params_alloca(&params);
    unsigned rate = wanted;
    if (snd_pcm_hw_params_any(pcm.get(), params) < 0
        || snd_pcm_hw_params_set_rate_near(pcm.get(), params, &rate, nullptr) < 0)
        return wanted;
    return rate;
}

const char* alsaServerPlugin(const char* device)
{
    snd_config_t* top = nullptr;
    if (snd_config_update_ref(&top) < 0)
        return nullptr;
    const std::unique_ptr<snd_config_t, void (*)(snd_config_t*)> owned(top, snd_config_unref);
    return serverOfDefinition(top, device, 0);
}
