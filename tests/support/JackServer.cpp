#include "JackServer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include <jack/jack.h>

extern char** environ;

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

JackServer::JackServer(int periodFrames, int sampleRate)
{
    static std::atomic<int> counter{0};
    name_ = "tonvelo-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    jack_set_error_function([](const char*) {});
    jack_set_info_function([](const char*) {});

    const std::string period = std::to_string(periodFrames);
    const std::string rate = std::to_string(sampleRate);
    // A generous client timeout: tests also run slowly, under sanitizers, on a busy machine.
    std::vector<std::string> args{"jackd", "--no-realtime", "-t", "5000", "-n", name_, "-d", "dummy",
                                  "-r",    rate,            "-p", period};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawnp(&pid_, "jackd", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        pid_ = -1;
        return;
    }
    setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
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

JackServer::~JackServer()
{
    stop(SIGTERM);
    unsetenv("JACK_DEFAULT_SERVER");
}

void JackServer::kill()
{
    stop(SIGKILL);
}

void JackServer::stop(int signal)
{
    if (pid_ <= 0)
        return;
    ::kill(pid_, signal);
    // jackd normally ends within a second; never wait for ever.
    for (int i = 0; i < 300; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            ready_ = false;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    ready_ = false;
}
