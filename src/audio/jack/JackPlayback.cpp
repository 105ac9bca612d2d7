#include "audio/jack/JackPlayback.h"

#include "audio/SynthEngine.h"
#include "audio/jack/JackSession.h"
#include "log/OutputLog.h"

JackPlayback::JackPlayback(SynthEngine& engine, std::shared_ptr<JackSession> session, double rate)
    : Playback(engine)
    , session_(std::move(session))
    , rate_(rate)
{
}

// Its gate is closed by now, or never opened.
JackPlayback::~JackPlayback()
{
    if (added_)
        session_->removeAudio();
}

std::unique_ptr<JackPlayback> JackPlayback::open(SynthEngine& engine)
{
    auto session = JackSession::join();
    if (!session)
        return nullptr;
    if (session->isPipeWire()) {
        qCInfo(outputLog, "jack: the server is PipeWire; its own stream plays instead");
        return nullptr;
    }
    // JACK does not resample: a server at a rate the synth cannot render is
    // passed over for the next kind, which can.
    const int rate = session->sampleRate();
    if (rate == 0) {
        qCInfo(outputLog, "jack: the server gave no sample rate");
        return nullptr;
    }
    if (engine.renderableRate(rate) != rate) {
        qCInfo(outputLog, "jack: the server runs at %d Hz, which the synth cannot render", rate);
        return nullptr;
    }
    std::unique_ptr<JackPlayback> playback(new JackPlayback(engine, std::move(session), rate));
    playback->added_ = playback->session_->addAudio(playback->gate());
    if (!playback->added_) {
        qCInfo(outputLog, "jack: the synth's ports did not open");
        return nullptr;
    }
    return playback;
}

bool JackPlayback::alive() const
{
    return session_->alive();
}
