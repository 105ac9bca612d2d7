#pragma once

#include <sys/types.h>

#include <string>

// A private JACK server on the dummy backend, started for one test and
// ended by its PID. Its name is unique, so it never meets a server that
// someone else runs on the machine; clients in this process find it through
// JACK_DEFAULT_SERVER.
class JackServer {
public:
    // Asynchronous is JACK's default. Synchronous makes each cycle wait for
    // every client, so that a client held up by a busy machine delays the
    // MIDI passing through it instead of dropping it.
    enum class Mode { Asynchronous, Synchronous };

    explicit JackServer(int periodFrames = 256, int sampleRate = 48000, Mode mode = Mode::Asynchronous);
    ~JackServer();

    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    bool running() const { return ready_; }
    const std::string& name() const { return name_; }
    pid_t pid() const { return pid_; }
    // Ends the server now, as a crash would (SIGKILL).
    void kill();
    // Starts it again under the same name, as after a restart.
    bool startAgain();

private:
    void start();
    void stop(int signal);
    void cleanUpAfterKill();

    int periodFrames_;
    int sampleRate_;
    Mode mode_;
    std::string name_;
    pid_t pid_ = -1;
    bool ready_ = false;
    bool killed_ = false;
};
