#pragma once

#include <memory>

#include "midi/synth/AudioOutput.h"

// The synth as a native PipeWire playback stream: PipeWire's realtime thread
// renders it straight into the buffer it hands over, a quantum at a time.
// When the server goes away the stream waits for it and comes back by itself.
class PipeWireOutput : public AudioOutput {
public:
    // Null when no PipeWire server answers or it refuses the stream.
    static std::unique_ptr<PipeWireOutput> open(SynthEngine& engine);
    ~PipeWireOutput() override;

private:
    struct Stream;
    explicit PipeWireOutput(std::unique_ptr<Stream> stream);

    std::unique_ptr<Stream> stream_;
};
