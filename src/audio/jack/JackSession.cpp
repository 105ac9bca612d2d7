#include "audio/jack/JackSession.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

#include <jack/jack.h>

#include "audio/jack/JackCallback.h"
#include "log/OutputLog.h"
#include "log/QuietLibraries.h"
#include "log/SoundLibraryLogs.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* clientName = "Tonvelo";
// A server that answers shows a new connection within a few cycles.
constexpr auto connectionWait = 1000ms;

// Every libjack call that reaches a client, outside libjack's own threads,
// is made with `mutex` held: none meets an open that frees a lost client.
struct Room {
    std::mutex mutex;
    std::weak_ptr<JackSession> open;
    // The callbacks of lost clients: under JACK's library until the next
    // open, under PipeWire's for good.
    std::vector<std::unique_ptr<JackCallback>> lost;
};

// Never destroyed: a close that hangs on a frozen server may outlive main.
Room& room()
{
    static auto* theRoom = new Room;
    return *theRoom;
}

bool pipeWireLibrary()
{
    return std::strstr(jack_get_version_string(), "PipeWire") != nullptr;
}

// The file JACK's own library mapped for the client's wake-ups: it alone
// knows how the server named it, so it is looked for among the process's
// mappings rather than named here. Empty when there is none, as under
// PipeWire's library, or when two could be it.
std::string mappedWakeFile(const std::string& client)
{
    std::set<std::string> found;
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        const auto path = line.find("/dev/shm/jack_sem.");
        if (path != std::string::npos && line.ends_with("_" + client))
            found.insert(line.substr(path));
    }
    return found.size() == 1 ? *found.begin() : std::string();
}

} // namespace

// Any thread that calls into libjack, or one of libjack's own.
void routeJackLog()
{
    jack_set_error_function([](const char* message) { qCInfo(outputLog, "jack: %s", message); });
    jack_set_info_function([](const char*) { });
}

JackSession::JackSession(jack_client_t* client, std::unique_ptr<JackCallback> callback)
    : client_(client)
    , callback_(std::move(callback))
{
}

std::shared_ptr<JackSession> JackSession::join()
{
    quietSoundLibraries();
    std::shared_ptr<JackSession> lost; // let go once the room is unlocked
    Room& r = room();
    std::lock_guard lock(r.mutex);
    if (auto open = r.open.lock()) {
        if (open->alive())
            return open;
        lost = std::move(open);
    }
    jack_status_t status;
    jack_client_t* client = jack_client_open(clientName, JackNoStartServer, &status);
    // Under JACK's library, that open freed the clients lost before, and
    // ended their threads.
    if (!pipeWireLibrary())
        r.lost.clear();
    if (!client) {
        qCInfo(outputLog, "jack: no server answers (status 0x%x)", static_cast<unsigned>(status));
        return nullptr;
    }
    auto callback = std::make_unique<JackCallback>(client, mappedWakeFile(jack_get_client_name(client)));
    jack_set_process_callback(client, &JackCallback::process, callback.get());
    // JACK's library calls the first alone when both are set; PipeWire's
    // 0.3 calls the second alone.
    jack_on_info_shutdown(client, &JackCallback::shutDown, callback.get());
    jack_on_shutdown(client, &JackCallback::shutDownUntold, callback.get());
    if (!callback->ok() || jack_activate(client) != 0) {
        qCInfo(outputLog, "jack: the client did not start");
        jack_client_close(client);
        return nullptr;
    }
    std::shared_ptr<JackSession> session(new JackSession(client, std::move(callback)));
    r.open = session;
    return session;
}

// A lost client is never closed. JACK's library frees it itself, and
// crashes if it is closed. PipeWire's 1.4 frees a lost port's buffers after
// the pool that held them, and crashes too: there the client is kept, its
// threads idle, until the program ends. Either way its callback goes only
// once nothing can call it.
JackSession::~JackSession()
{
    std::lock_guard lock(room().mutex);
    if (alive())
        jack_client_close(client_);
    else
        room().lost.push_back(std::move(callback_));
}

bool JackSession::alive() const
{
    return !callback_->lost();
}

bool JackSession::libraryIsPipeWire()
{
    return pipeWireLibrary();
}

int JackSession::sampleRate() const
{
    std::lock_guard lock(room().mutex);
    return alive() ? static_cast<int>(jack_get_sample_rate(client_)) : 0;
}

std::vector<std::string> JackSession::midiInputs() const
{
    std::vector<std::string> names;
    std::lock_guard lock(room().mutex);
    const char** ports
        = alive() ? jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput) : nullptr;
    for (const char** port = ports; port && *port; ++port)
        names.emplace_back(*port);
    jack_free(ports);
    return names;
}

bool JackSession::addAudio(RenderGate& gate)
{
    std::lock_guard lock(room().mutex);
    return callback_->addAudio(gate);
}

void JackSession::removeAudio()
{
    std::lock_guard lock(room().mutex);
    callback_->dropAudio();
}

bool JackSession::addMidi(const std::string& target)
{
    {
        std::lock_guard lock(room().mutex);
        if (!callback_->addMidi(target))
            return false;
    }
    // jack_connect only asks for the connection; a message sent before the
    // graph shows it would be lost.
    const auto deadline = std::chrono::steady_clock::now() + connectionWait;
    for (;;) {
        {
            std::lock_guard lock(room().mutex);
            if (callback_->midiConnected())
                return true;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(500us);
    }
    removeMidi();
    return false;
}

void JackSession::removeMidi()
{
    std::lock_guard lock(room().mutex);
    callback_->dropMidi();
}

bool JackSession::sendMidi(const uint8_t* bytes, size_t size)
{
    return callback_->send(bytes, size);
}
