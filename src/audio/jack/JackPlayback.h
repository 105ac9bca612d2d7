#pragma once

#include <memory>

#include "audio/Playback.h"

class JackSession;

// The synth on the two audio ports of the program's JACK client, rendered
// through its gate in that client's process callback.
class JackPlayback : public Playback {
public:
    // Null when no JACK server answers, it is PipeWire under JACK's name, or
    // it runs at a rate the synth cannot render.
    static std::unique_ptr<JackPlayback> open(SynthEngine& engine);
    ~JackPlayback() override;

    // JACK tells its clients when the server dies or throws one out.
    bool alive() const override;
    double rate() const override { return rate_; }

private:
    JackPlayback(SynthEngine& engine, std::shared_ptr<JackSession> session, double rate);

    std::shared_ptr<JackSession> session_;
    double rate_;
    bool added_ = false;
};
