#include "JackServer.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include <jack/jack.h>

#include "ChildProcess.h"

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

} // namespace

JackServer::JackServer(int periodFrames, int sampleRate, Mode mode)
    : periodFrames_(periodFrames)
    , sampleRate_(sampleRate)
    , mode_(mode)
{
    static std::atomic<int> counter { 0 };
    name_ = "tonvelo-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    jack_set_error_function([](const char*) {});
    jack_set_info_function([](const char*) {});
    start();
    if (ready_)
        setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
}

JackServer::~JackServer()
{
    stop(SIGTERM);
    if (killed_)
        cleanUpAfterKill();
    unsetenv("JACK_DEFAULT_SERVER");
}

void JackServer::start()
{
    // A generous client timeout: tests also run slowly, under sanitizers, on a busy machine.
    std::vector<std::string> args { "jackd", "--no-realtime", "-t", "5000", "-n", name_, "-d", "dummy", "-r",
        std::to_string(sampleRate_), "-p", std::to_string(periodFrames_) };
    if (mode_ == Mode::Synchronous)
        args.insert(args.begin() + 1, "--sync");
    pid_ = spawnChild(args);
    if (pid_ < 0)
        return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (serverAnswers(name_)) {
            ready_ = true;
            return;
        }
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void JackServer::kill()
{
    stop(SIGKILL);
    killed_ = true;
}

bool JackServer::startAgain()
{
    start();
    return ready_;
}

// A killed server leaves its slot in JACK's shared registry, which has room
// for only a few servers on the whole machine, and the semaphores of its
// clients. A server started under the same name takes the slot back and
// frees it when it ends properly.
void JackServer::cleanUpAfterKill()
{
    start();
    stop(SIGTERM);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ec)) {
        const std::string file = entry.path().filename().string();
        if (file.rfind("jack_sem.", 0) == 0 && file.find("_" + name_ + "_") != std::string::npos)
            std::filesystem::remove(entry.path(), ec);
    }
}

void JackServer::stop(int signal)
{
    stopChild(pid_, signal);
    pid_ = -1;
    ready_ = false;
}
