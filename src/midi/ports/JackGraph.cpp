#include "midi/ports/JackGraph.h"

#include <atomic>
#include <cstring>
#include <thread>

#include <jack/jack.h>

#include "midi/log/OutputLog.h"
#include "midi/log/QuietLibraries.h"
#include "midi/log/SoundLibraryLogs.h"

namespace {

// Once any client of the process has heard that its server ended, the next
// jack_client_open, on whichever thread, closes and frees every client of
// the process, ours too, before their own shutdown callbacks may have run.
// libjack tells so only in its error log, on the opening thread; counted
// here, a client opened before knows that its handle is gone.
std::atomic<unsigned> clientsFreed { 0 };
thread_local unsigned clientsFreedByThisThread = 0;

// libjack prints to stderr when no server runs; that is an ordinary case here.
jack_client_t* openQuietClient()
{
    quietSoundLibraries();
    jack_status_t status;
    jack_client_t* client = jack_client_open("Tonvelo probe", JackNoStartServer, &status);
    if (!client)
        qCInfo(outputLog, "jack: no server answers (status 0x%x)", static_cast<unsigned>(status));
    return client;
}

} // namespace

void routeJackLog()
{
    jack_set_error_function([](const char* message) {
        if (std::strstr(message, "clients are still allocated")) {
            ++clientsFreedByThisThread;
            clientsFreed.fetch_add(1);
        }
        qCInfo(outputLog, "jack: %s", message);
    });
    jack_set_info_function([](const char*) { });
}

bool jackServerRunning()
{
    return JackGraphReader().connected();
}

struct JackGraphReader::Client {
    jack_client_t* handle;
    // How many times libjack had freed the process's clients when this one
    // was made; a client freed by another thread while this one was being
    // opened counts as freed too: rather a client too many than a handle
    // used after libjack freed it.
    unsigned freedBefore;
    std::atomic<bool> gone { false };

    bool freed() const { return clientsFreed.load() != freedBefore; }
};

JackGraphReader::JackGraphReader()
{
    const unsigned freedBefore = clientsFreed.load();
    const unsigned freedHereBefore = clientsFreedByThisThread;
    jack_client_t* handle = openQuietClient();
    if (!handle)
        return;
    client_ = new Client { handle, freedBefore + (clientsFreedByThisThread - freedHereBefore) };
    // Called by libjack's own thread, also for a client never activated.
    jack_on_info_shutdown(
        handle, [](jack_status_t, const char*, void* c) { static_cast<Client*>(c)->gone.store(true); },
        client_);
}

bool JackGraphReader::serverGone() const
{
    return client_ && (client_->gone.load() || client_->freed());
}

bool JackGraphReader::isPipeWire() const
{
    return client_ && std::strstr(jack_get_version_string(), "PipeWire") != nullptr;
}

bool JackGraphReader::usable() const
{
    return client_ && !client_->freed();
}

int JackGraphReader::sampleRate() const
{
    return usable() ? static_cast<int>(jack_get_sample_rate(client_->handle)) : 0;
}

JackGraphReader::~JackGraphReader()
{
    if (usable())
        jack_client_close(client_->handle);
    delete client_;
}

std::vector<std::string> JackGraphReader::midiInputs() const
{
    std::vector<std::string> names;
    if (!usable())
        return names;
    if (const char** ports
        = jack_get_ports(client_->handle, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput)) {
        for (const char** port = ports; *port; ++port)
            names.emplace_back(*port);
        jack_free(ports);
    }
    return names;
}

int JackGraphReader::connectionCount(const std::string& portName) const
{
    int count = 0;
    if (!usable())
        return 0;
    jack_port_t* port = jack_port_by_name(client_->handle, portName.c_str());
    if (!port)
        return 0;
    if (const char** names = jack_port_get_all_connections(client_->handle, port)) {
        while (names[count])
            ++count;
        jack_free(names);
    }
    return count;
}

JackConnectionWatch::JackConnectionWatch(const std::string& portName)
    : portName_(portName)
    , before_(graph_.connectionCount(portName))
{
}

bool JackConnectionWatch::waitForNewConnection(std::chrono::milliseconds timeout)
{
    if (!graph_.connected())
        return false;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (graph_.connectionCount(portName_) <= before_) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return true;
}
