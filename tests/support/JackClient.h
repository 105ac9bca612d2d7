#pragma once

#include <jack/jack.h>

#include <atomic>
#include <string>
#include <vector>

// A client of the test's JACK server with input ports of one type ("in", or
// "in1".."inN"). It is closed with the object, unless its server died:
// libjack crashes when such a client is closed.
class JackClient {
public:
    JackClient(const std::string& name, const char* portType, int portCount);
    ~JackClient();

    JackClient(const JackClient&) = delete;
    JackClient& operator=(const JackClient&) = delete;

    // Starts the client with its process callback; false, and closed, when it cannot.
    bool activate(JackProcessCallback process, void* arg);

    bool ok() const { return client_ != nullptr; }
    bool serverGone() const { return serverGone_; }
    jack_client_t* get() const { return client_; }
    const std::vector<jack_port_t*>& ports() const { return ports_; }
    std::string portName(int port) const;

private:
    jack_client_t* client_ = nullptr;
    std::vector<jack_port_t*> ports_;
    std::atomic<bool> serverGone_ { false };
};

// The full names of the server's audio outputs whose names match `pattern`
// (a regular expression; null for all), in the server's order.
std::vector<std::string> audioOutputs(jack_client_t* client, const char* pattern = nullptr);
