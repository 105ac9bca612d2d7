#include "audio/AlsaDevice.h"

// Built without ALSA: the driver is asked for the rate wanted, as it stands.
unsigned alsaRate(const char*, unsigned wanted)
{
    return wanted;
}

const char* alsaServerPlugin(const char*)
{
    return nullptr;
}
