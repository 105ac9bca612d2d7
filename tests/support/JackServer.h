#pragma once

#include <string>

#include "ServerProcess.h"

// A private JACK server on the dummy backend, started for one test. Its name
// is unique, so it never meets a server that someone else runs on the
// machine; clients in this process find it through JACK_DEFAULT_SERVER.
class JackServer : public ServerProcess {
public:
    // Asynchronous is JACK's default. Synchronous makes each cycle wait for
    // every client, so that a client held up by a busy machine delays the
    // MIDI passing through it instead of dropping it.
    enum class Mode { Asynchronous, Synchronous };

    explicit JackServer(int periodFrames = 256, int sampleRate = 48000, Mode mode = Mode::Asynchronous);
    ~JackServer();

    const std::string& name() const { return name_; }
    // How many clients whose names begin with `prefix` have ports, as
    // jack_lsp would show them.
    int clientsNamed(const std::string& prefix) const;

private:
    JackServer(std::string name, int periodFrames, int sampleRate, Mode mode);

    std::string name_;
};
