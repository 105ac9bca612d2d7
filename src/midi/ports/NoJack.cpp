#include "midi/ports/JackGraph.h"

#include "midi/log/SoundLibraryLogs.h"

// Built without JACK: no server ever answers, no port is ever listed.

void routeJackLog() { }

bool jackServerRunning()
{
    return false;
}

struct JackGraphReader::Client { };

JackGraphReader::JackGraphReader() = default;

JackGraphReader::~JackGraphReader() = default;

bool JackGraphReader::serverGone() const
{
    return false;
}

int JackGraphReader::sampleRate() const
{
    return 0;
}

bool JackGraphReader::isPipeWire() const
{
    return false;
}

std::vector<std::string> JackGraphReader::midiInputs() const
{
    return {};
}

int JackGraphReader::connectionCount(const std::string&) const
{
    return 0;
}

JackConnectionWatch::JackConnectionWatch(const std::string& portName)
    : portName_(portName)
{
}

bool JackConnectionWatch::waitForNewConnection(std::chrono::milliseconds)
{
    return false;
}
