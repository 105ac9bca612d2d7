#include "ServerProcess.h"

#include <signal.h>
#include <stdlib.h>

#include "WaitUntil.h"

ServerProcess::ServerProcess(Setup setup)
    : setup_(std::move(setup))
{
}

ServerProcess::~ServerProcess()
{
    stop();
    for (auto it = replaced_.rbegin(); it != replaced_.rend(); ++it)
        it->second ? setenv(it->first.c_str(), it->second->c_str(), 1) : unsetenv(it->first.c_str());
}

bool ServerProcess::start()
{
    stop();
    program_ = std::make_unique<RunningProgram>(setup_.args, setup_.env);
    ready_ = false;
    waitUntil(
        [&] { return !program_->running() || (ready_ = !setup_.ready || setup_.ready()); }, setup_.timeout);
    if (ready_ && replaced_.empty())
        exportEnvironment();
    return ready_;
}

void ServerProcess::exportEnvironment()
{
    for (const auto& entry : setup_.exports) {
        const auto equals = entry.find('=');
        const std::string name = entry.substr(0, equals);
        const char* old = getenv(name.c_str());
        replaced_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (equals == std::string::npos)
            unsetenv(name.c_str());
        else
            setenv(name.c_str(), entry.c_str() + equals + 1, 1);
    }
}

bool ServerProcess::stop()
{
    // A frozen server leaves a SIGTERM pending.
    thaw();
    const bool ended = !program_ || program_->stop();
    program_.reset();
    ready_ = false;
    return ended;
}

void ServerProcess::kill()
{
    if (program_)
        program_->kill();
    ready_ = false;
}

bool ServerProcess::restart()
{
    return start();
}

void ServerProcess::freeze()
{
    if (pid() > 0)
        ::kill(pid(), SIGSTOP);
}

void ServerProcess::thaw()
{
    if (pid() > 0)
        ::kill(pid(), SIGCONT);
}
