#include <cstdarg>
#include <cstdio>

#include <alsa/asoundlib.h>

#include "log/OutputLog.h"
#include "log/SoundLibraryLogs.h"

namespace {

// Any thread that calls into ALSA: the GUI (the sequencer's ports), the port
// list, the open tries and FluidSynth's ALSA driver.
void logAlsa(const char* file, int line, const char* function, int, const char* format, ...)
{
    if (!outputLog().isInfoEnabled())
        return;
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    qCInfo(outputLog, "alsa: %s (%s:%d %s)", text, file, line, function);
}

} // namespace

void routeAlsaLog()
{
    snd_lib_error_set_handler(logAlsa);
}
