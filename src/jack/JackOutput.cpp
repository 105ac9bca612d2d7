#include "jack/JackOutput.h"

#include "audio/SynthEngine.h"
#include "jack/JackSession.h"
#include "midi/log/OutputLog.h"

JackOutput::JackOutput(SynthEngine& engine, std::shared_ptr<JackSession> session, double rate)
    : AudioOutput(engine)
    , session_(std::move(session))
    , rate_(rate)
{
}

// Its gate is closed by now, or never opened.
JackOutput::~JackOutput()
{
    if (added_)
        session_->removeAudio();
}

std::unique_ptr<JackOutput> JackOutput::open(SynthEngine& engine)
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
    if (rate == 0 || engine.renderableRate(rate) != rate) {
        qCInfo(outputLog, "jack: the server runs at %d Hz, which the synth cannot render", rate);
        return nullptr;
    }
    std::unique_ptr<JackOutput> output(new JackOutput(engine, std::move(session), rate));
    output->added_ = output->session_->addAudio(output->gate());
    if (!output->added_) {
        qCInfo(outputLog, "jack: the synth's ports did not open");
        return nullptr;
    }
    return output;
}

bool JackOutput::alive() const
{
    return session_->alive();
}
