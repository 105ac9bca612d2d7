#include "log/QuietLibraries.h"

#include <mutex>

#include <fluidsynth.h>

#include "log/OutputLog.h"
#include "log/SoundLibraryLogs.h"

namespace {

// Set by a FluidSynth driver's open, on the thread that opens it: an error
// logged there is that driver's.
thread_local std::atomic<bool>* driverFailed = nullptr;

// Any thread that calls into FluidSynth: the GUI, the open tries, the
// engine's loading helpers, FluidSynth's driver threads.
void logFluidSynth(int level, const char* message, void*)
{
    if (level <= FLUID_ERR && driverFailed)
        driverFailed->store(true);
    qCInfo(outputLog, "fluidsynth%s: %s", level <= FLUID_ERR ? " error" : "", message);
}

} // namespace

void quietSoundLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level : { FLUID_PANIC, FLUID_ERR, FLUID_WARN })
            fluid_set_log_function(level, logFluidSynth, nullptr);
        for (int level : { FLUID_INFO, FLUID_DBG })
            fluid_set_log_function(level, nullptr, nullptr);
        routeJackLog();
        routeAlsaLog();
    });
}

void watchFluidErrorsOnThisThread(std::atomic<bool>* failed)
{
    driverFailed = failed;
}
