#pragma once

#include <memory>

class SynthEngine;

// Where the synth's sound goes: one client of a sound server that asks the
// engine for audio in the server's own rhythm, from the moment it opens
// until it is destroyed.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;
};

// Opens the first sound server that takes the engine's audio, in the order
// the desktop is most likely to play it well; null when none does. Each one
// tried and why it failed goes to the output log.
std::unique_ptr<AudioOutput> openAudioOutput(SynthEngine& engine);
