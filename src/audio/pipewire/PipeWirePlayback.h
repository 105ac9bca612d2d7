#pragma once

#include <memory>

#include "audio/Playback.h"

// The synth as a native PipeWire playback stream: the stream's data thread
// renders it straight into the buffer it hands over, a quantum at a time.
class PipeWirePlayback : public Playback {
public:
    // Null when no PipeWire server answers in time or it refuses the stream.
    static std::unique_ptr<PipeWirePlayback> open(SynthEngine& engine);
    ~PipeWirePlayback() override;

    // The server's socket broke or the stream failed; a server that stalls
    // says nothing.
    bool alive() const override;
    double rate() const override;
    void wentIdle() override;
    void woke() override;

private:
    struct Stream;
    explicit PipeWirePlayback(SynthEngine& engine);

    std::unique_ptr<Stream> stream_;
};
