#pragma once

#include <string>
#include <vector>

// Where the built-in synth looks for its General MIDI soundfont, in order.
struct SoundfontSearch {
    std::string configured; // FluidSynth's own default soundfont setting
    std::vector<std::string> fallbacks; // files tried next, in order
    std::vector<std::string> folders; // then any .sf2/.sf3 in these

    static SoundfontSearch system();
    std::vector<std::string> candidates() const;
};
