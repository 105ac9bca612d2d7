#include "audio/jack/JackSession.h"

#include "log/SoundLibraryLogs.h"

// Built without JACK: no server ever answers, so no session is ever made.

class JackCallback { };

void routeJackLog() { }

std::shared_ptr<JackSession> JackSession::join()
{
    return nullptr;
}

JackSession::~JackSession() = default;

bool JackSession::alive() const
{
    return false;
}

bool JackSession::libraryIsPipeWire()
{
    return false;
}

int JackSession::sampleRate() const
{
    return 0;
}

std::vector<std::string> JackSession::midiInputs() const
{
    return {};
}

bool JackSession::addAudio(RenderGate&)
{
    return false;
}

void JackSession::removeAudio() { }

bool JackSession::addMidi(const std::string&)
{
    return false;
}

void JackSession::removeMidi() { }

bool JackSession::sendMidi(const uint8_t*, size_t)
{
    return false;
}
