#include "midi/QuietLibraries.h"

#include <mutex>

#ifdef TONVELO_HAVE_JACK
#include <jack/jack.h>
#endif
#ifdef TONVELO_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

namespace {

#ifdef TONVELO_HAVE_ALSA
void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) { }
#endif

} // namespace

void quietSoundLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] {
#ifdef TONVELO_HAVE_JACK
        jack_set_error_function([](const char*) {});
        jack_set_info_function([](const char*) {});
#endif
#ifdef TONVELO_HAVE_ALSA
        snd_lib_error_set_handler(ignoreAlsaError);
#endif
    });
}
