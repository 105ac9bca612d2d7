// Opens the built-in synth exactly as the keyboard does at start-up, with no
// window, and prints the steady-clock time in microseconds at which it was
// ready. window_bench runs it to show how long the synth alone takes.

#include <chrono>
#include <cstdio>

#include "SystemOutputs.h"
#include "log/SoundEnvironment.h"

int main()
{
    prepareSoundEnvironment();
    SystemOutputs outputs;
    outputs.prepareSynth();
    const auto synth = outputs.open(-1);
    const auto ready = std::chrono::steady_clock::now().time_since_epoch();
    std::printf("%lld\n",
        static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(ready).count()));
    return synth ? 0 : 1;
}
