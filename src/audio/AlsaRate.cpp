#include "audio/AlsaRate.h"

#include <memory>

#include <alsa/asoundlib.h>

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
