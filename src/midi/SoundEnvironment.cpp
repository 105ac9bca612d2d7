#include "midi/SoundEnvironment.h"

#include <cstdlib>

void prepareSoundEnvironment()
{
#ifndef _WIN32
    // Never start a JACK server of our own just to find out there is none.
    setenv("JACK_NO_START_SERVER", "1", 0);
#endif
}
