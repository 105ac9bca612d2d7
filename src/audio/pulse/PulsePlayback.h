#pragma once

#include <memory>

#include "audio/Playback.h"

// The synth as a native PulseAudio playback stream: the stream's write
// callback renders it straight into the memory the daemon hands over, with
// as little buffered as the daemon grants. While the synth is idle the
// stream is corked, so that neither side wakes up for silence.
class PulsePlayback : public Playback {
public:
    // Null when no PulseAudio daemon answers in time, it refuses the stream,
    // or it is PipeWire's PulseAudio service while PipeWire's own socket
    // answers: PipeWire's own stream plays there.
    static std::unique_ptr<PulsePlayback> open(SynthEngine& engine);
    ~PulsePlayback() override;

    // The connection or the stream failed, as when the daemon goes away.
    bool alive() const override;
    double rate() const override;
    // From the audio thread, then from the thread that sent a message.
    void wentIdle() override;
    void woke() override;

private:
    struct Stream;
    explicit PulsePlayback(SynthEngine& engine);

    std::unique_ptr<Stream> stream_;
};
