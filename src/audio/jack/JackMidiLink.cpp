#include "audio/jack/JackMidiLink.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "audio/jack/JackSession.h"
#include "log/OutputLog.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A server that answers joins and connects in tens of milliseconds; the
// synth's opens give up after as long.
constexpr auto connectDeadline = 700ms;

// One thread, started at the first link, takes the jobs in the order asked.
// Never joined: a server that hangs may hold it for ever.
class PortThread {
public:
    void post(std::function<void()> job)
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        if (!started_) {
            started_ = true;
            std::thread([this] { run(); }).detach();
        }
        changed_.notify_all();
    }

    void waitIdle(std::chrono::milliseconds wait)
    {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, wait, [&] { return jobs_.empty() && !busy_; }))
            qCInfo(outputLog, "jack: the MIDI port's last calls did not end within %lld ms",
                static_cast<long long>(wait.count()));
    }

private:
    // The JACK port thread.
    void run()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return !jobs_.empty(); });
            auto job = std::move(jobs_.front());
            jobs_.pop_front();
            busy_ = true;
            lock.unlock();
            job();
            // What the job held, the session among it, goes here too.
            job = nullptr;
            lock.lock();
            busy_ = false;
            changed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> jobs_;
    bool busy_ = false;
    bool started_ = false;
};

// Never destroyed: its thread may outlive main.
PortThread& portThread()
{
    static auto* thread = new PortThread;
    return *thread;
}

} // namespace

// Shared by the window's thread, which sends, and the JACK port thread,
// which sets and drops the session. `mutex` is never held across a call
// that reaches the server.
struct JackMidiLink::State {
    std::mutex mutex;
    std::condition_variable answered;
    enum { Connecting, Connected, Failed } progress = Connecting;
    std::shared_ptr<JackSession> session;
};

JackMidiLink::JackMidiLink(std::string port)
    : state_(std::make_shared<State>())
{
    // The JACK port thread.
    portThread().post([state = state_, port = std::move(port)] {
        auto session = JackSession::join();
        const bool connected = session && session->addMidi(port);
        if (!connected)
            qCInfo(outputLog, "jack: no connection to %s", port.c_str());
        std::lock_guard lock(state->mutex);
        if (connected)
            state->session = std::move(session);
        state->progress = connected ? State::Connected : State::Failed;
        state->answered.notify_all();
    });
    std::unique_lock lock(state_->mutex);
    if (!state_->answered.wait_for(
            lock, connectDeadline, [&] { return state_->progress != State::Connecting; }))
        qCInfo(outputLog, "jack: no answer within %lld ms; the port connects once the server answers",
            static_cast<long long>(connectDeadline.count()));
}

JackMidiLink::~JackMidiLink()
{
    // The JACK port thread, after the connect: the session is let go there.
    portThread().post([state = state_] {
        std::shared_ptr<JackSession> session;
        {
            std::lock_guard lock(state->mutex);
            session = std::move(state->session);
            state->progress = State::Failed;
        }
        if (session)
            session->removeMidi();
    });
}

bool JackMidiLink::connecting() const
{
    std::lock_guard lock(state_->mutex);
    return state_->progress == State::Connecting;
}

bool JackMidiLink::failed() const
{
    std::lock_guard lock(state_->mutex);
    return state_->progress == State::Failed;
}

bool JackMidiLink::send(const uint8_t* bytes, size_t size)
{
    std::lock_guard lock(state_->mutex);
    return state_->session && state_->session->sendMidi(bytes, size);
}

void JackMidiLink::finish(std::chrono::milliseconds wait)
{
    portThread().waitIdle(wait);
}
