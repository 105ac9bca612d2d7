#include "log/SoundEnvironment.h"

#include <cstdlib>

void prepareSoundEnvironment()
{
#ifndef _WIN32
    // Never start a JACK server of our own just to find out there is none.
    setenv("JACK_NO_START_SERVER", "1", 0);
    // libpulse writes its complaints (an empty HOME, say) to stderr; the
    // system log is where a desktop program's library messages belong.
    setenv("PULSE_LOG_SYSLOG", "1", 0);
#endif
}
