#include "JackServer.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <set>

#include <jack/jack.h>

#include "log/QuietLibraries.h"

namespace {

bool serverAnswers(const std::string& name)
{
    jack_status_t status;
    jack_client_t* probe = jack_client_open(
        "probe", static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status, name.c_str());
    if (!probe)
        return false;
    jack_client_close(probe);
    return true;
}

std::string uniqueName()
{
    static std::atomic<int> counter { 0 };
    return "tonvelo-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
}

ServerProcess::Setup setup(const std::string& name, int periodFrames, int sampleRate, JackServer::Mode mode)
{
    // A generous client timeout: tests also run slowly, under sanitizers, on a busy machine.
    std::vector<std::string> args { "jackd", "--no-realtime", "-t", "5000", "-n", name, "-d", "dummy", "-r",
        std::to_string(sampleRate), "-p", std::to_string(periodFrames) };
    if (mode == JackServer::Mode::Synchronous)
        args.insert(args.begin() + 1, "--sync");
    return { .args = args,
        .ready = [name] { return serverAnswers(name); },
        .exports = { "JACK_DEFAULT_SERVER=" + name },
        .timeout = std::chrono::seconds(10) };
}

} // namespace

JackServer::JackServer(int periodFrames, int sampleRate, Mode mode)
    : JackServer(uniqueName(), periodFrames, sampleRate, mode)
{
}

JackServer::JackServer(std::string name, int periodFrames, int sampleRate, Mode mode)
    : ServerProcess(setup(name, periodFrames, sampleRate, mode))
    , name_(std::move(name))
{
    // libjack's chatter goes where the program sends it, which also reads
    // it: not to stderr.
    quietSoundLibraries();
    start();
}

// A killed server leaves its slot in JACK's shared registry, which has room
// for only eight servers on the whole machine, and the semaphores of its
// clients; so does one killed because it did not end on SIGTERM, as jackd
// may not after it took a client while frozen. A server started under the
// same name takes the slot back and frees it when it ends properly.
JackServer::~JackServer()
{
    if (running() && stop())
        return;
    restart();
    stop();
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ec)) {
        const std::string file = entry.path().filename().string();
        if (file.rfind("jack_sem.", 0) == 0 && file.find("_" + name_ + "_") != std::string::npos)
            std::filesystem::remove(entry.path(), ec);
    }
}

// Read through libjack itself: jack_lsp is not on every release (Debian 13
// moved it to another package).
int JackServer::clientsNamed(const std::string& prefix) const
{
    jack_status_t status;
    jack_client_t* lister = jack_client_open(
        "lister", static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status, name_.c_str());
    if (!lister)
        return 0;
    std::set<std::string> clients;
    if (const char** ports = jack_get_ports(lister, nullptr, nullptr, 0)) {
        for (const char** port = ports; *port; ++port)
            if (std::string name = *port; name.rfind(prefix, 0) == 0)
                clients.insert(name.substr(0, name.find(':')));
        jack_free(ports);
    }
    jack_client_close(lister);
    return static_cast<int>(clients.size());
}
