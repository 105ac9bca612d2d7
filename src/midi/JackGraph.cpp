#include "midi/JackGraph.h"

#include <thread>

#ifdef TONVELO_HAVE_JACK
#include <jack/jack.h>
#endif

#include "midi/QuietLibraries.h"

namespace {

#ifdef TONVELO_HAVE_JACK
// libjack prints to stderr when no server runs; that is an ordinary case here.
jack_client_t* openQuietClient()
{
    quietSoundLibraries();
    jack_status_t status;
    return jack_client_open("Tonvelo probe", JackNoStartServer, &status);
}
#endif

} // namespace

bool jackServerRunning()
{
#ifdef TONVELO_HAVE_JACK
    jack_client_t* probe = openQuietClient();
    if (!probe)
        return false;
    jack_client_close(probe);
    return true;
#else
    return false;
#endif
}

std::vector<std::string> jackMidiInputs()
{
    std::vector<std::string> names;
#ifdef TONVELO_HAVE_JACK
    jack_client_t* client = openQuietClient();
    if (!client)
        return names;
    if (const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput)) {
        for (const char** port = ports; *port; ++port)
            names.emplace_back(*port);
        jack_free(ports);
    }
    jack_client_close(client);
#endif
    return names;
}

#ifdef TONVELO_HAVE_JACK
struct JackConnectionWatch::Client {
    jack_client_t* handle;
};
#else
struct JackConnectionWatch::Client {};
#endif

JackConnectionWatch::JackConnectionWatch(const std::string& portName) : portName_(portName)
{
#ifdef TONVELO_HAVE_JACK
    if (jack_client_t* handle = openQuietClient()) {
        client_ = new Client{handle};
        before_ = connectionCount();
    }
#endif
}

JackConnectionWatch::~JackConnectionWatch()
{
#ifdef TONVELO_HAVE_JACK
    if (client_)
        jack_client_close(client_->handle);
#endif
    delete client_;
}

int JackConnectionWatch::connectionCount() const
{
    int count = 0;
#ifdef TONVELO_HAVE_JACK
    jack_port_t* port = jack_port_by_name(client_->handle, portName_.c_str());
    if (!port)
        return 0;
    if (const char** names = jack_port_get_all_connections(client_->handle, port)) {
        while (names[count])
            ++count;
        jack_free(names);
    }
#endif
    return count;
}

bool JackConnectionWatch::waitForNewConnection(std::chrono::milliseconds timeout)
{
    if (!client_)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (connectionCount() <= before_) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return true;
}
