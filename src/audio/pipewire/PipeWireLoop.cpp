#include "audio/pipewire/PipeWireLoop.h"

#include <cerrno>
#include <cstdlib>
#include <mutex>

#include "log/OutputLog.h"

namespace {

void initPipeWire()
{
    static std::once_flag once;
    std::call_once(once, [] {
        pw_init(nullptr, nullptr);
        // Its library writes to stderr when the server goes away, an
        // ordinary case here. PIPEWIRE_DEBUG still asks for its messages.
        if (!std::getenv("PIPEWIRE_DEBUG"))
            pw_log_set_level(SPA_LOG_LEVEL_NONE);
    });
}

} // namespace

PipeWireLoop::PipeWireLoop()
{
    initPipeWire();
    loop_.reset(pw_thread_loop_new("tonvelo-pipewire", nullptr));
    if (!loop_)
        return;
    // The realtime client set-up: the stream's data thread, which renders
    // the synth, then runs at realtime priority where the system allows it,
    // as the server's own threads do; at normal priority it missed cycles.
    context_.reset(
        pw_context_new(loop(), pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr), 0));
}

PipeWireLoop::~PipeWireLoop()
{
    if (started_)
        pw_thread_loop_stop(loop_.get());
    context_.reset();
}

bool PipeWireLoop::start()
{
    if (!loop_ || !context_)
        return false;
    started_ = pw_thread_loop_start(loop_.get()) == 0;
    return started_;
}

pw_core* PipeWireLoop::connect()
{
    if (core_)
        return core_;
    core_ = pw_context_connect(context_.get(),
        pw_properties_new(PW_KEY_APP_NAME, "Tonvelo", PW_KEY_APP_ID, TONVELO_APP_ID, nullptr), 0);
    if (!core_)
        return nullptr;
    static const pw_core_events coreEvents = [] {
        pw_core_events e {};
        e.version = PW_VERSION_CORE_EVENTS;
        e.error = &PipeWireLoop::onCoreError;
        return e;
    }();
    pw_core_add_listener(core_, &coreListener_, &coreEvents, this);
    return core_;
}

void PipeWireLoop::close()
{
    if (!loop_)
        return;
    for (spa_source* source : sources_)
        pw_loop_destroy_source(loop(), source);
    sources_.clear();
    if (core_) {
        spa_hook_remove(&coreListener_);
        pw_core_disconnect(core_);
        core_ = nullptr;
    }
}

spa_source* PipeWireLoop::addEvent(spa_source_event_func_t func, void* data)
{
    spa_source* source = loop_ ? pw_loop_add_event(loop(), func, data) : nullptr;
    if (source)
        sources_.push_back(source);
    return source;
}

spa_source* PipeWireLoop::addTimer(spa_source_timer_func_t func, void* data)
{
    spa_source* source = loop_ ? pw_loop_add_timer(loop(), func, data) : nullptr;
    if (source)
        sources_.push_back(source);
    return source;
}

void PipeWireLoop::signal(spa_source* event)
{
    pw_loop_signal_event(loop(), event);
}

void PipeWireLoop::setTimer(spa_source* timer, long seconds)
{
    timespec after { seconds, 0 };
    pw_loop_update_timer(loop(), timer, &after, nullptr, false);
}

void PipeWireLoop::onCoreError(void* data, uint32_t id, int, int res, const char* message)
{
    auto* self = static_cast<PipeWireLoop*>(data);
    if (id == PW_ID_CORE && res == -EPIPE) {
        qCInfo(outputLog, "pipewire: lost the server (%s)", message);
        self->gone_.store(true);
        self->wake();
    }
}
