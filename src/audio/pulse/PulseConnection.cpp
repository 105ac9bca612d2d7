#include "audio/pulse/PulseConnection.h"

#include "audio/SocketAnswers.h"
#include "log/OutputLog.h"

namespace {

// A daemon that answers takes the stream in tens of milliseconds; the
// caller gives up on this try a little later than this.
constexpr pa_usec_t openTimeout = 600'000;

} // namespace

PulseConnection::~PulseConnection()
{
    if (!loop_)
        return;
    pa_threaded_mainloop_lock(loop_);
    endOpen();
    if (context_) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    pa_threaded_mainloop_unlock(loop_);
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
}

bool PulseConnection::open()
{
    if (!connect())
        return false;
    pa_threaded_mainloop_lock(loop_);
    deadline_ = pa_context_rttime_new(context_, pa_rtclock_now() + openTimeout, &onDeadline, this);
    bool ok = waitFor([&] { return pa_context_get_state(context_) == PA_CONTEXT_READY; });
    if (ok)
        if (pa_operation* asked = pa_context_get_server_info(context_, &onServerInfo, this)) {
            ok = waitFor([&] { return toldServer_; });
            pa_operation_unref(asked);
        }
    // On a PipeWire desktop its PulseAudio service adds a hop; PipeWire's
    // own stream is tried first and again, as it is back within moments.
    if (ok && serverName_.find("PipeWire") != std::string::npos && pipeWireAnswers()) {
        qCInfo(outputLog, "pulseaudio: the daemon is PipeWire's service, left to PipeWire's own stream");
        endOpen();
        pa_threaded_mainloop_unlock(loop_);
        return false;
    }
    if (!ok)
        finishOpen(false);
    return ok;
}

pa_proplist* PulseConnection::properties()
{
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Tonvelo");
    pa_proplist_sets(props, PA_PROP_APPLICATION_ID, TONVELO_APP_ID);
    pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, TONVELO_APP_ID);
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "music");
    return props;
}

bool PulseConnection::connect()
{
    loop_ = pa_threaded_mainloop_new();
    if (!loop_)
        return false;
    pa_proplist* props = properties();
    context_ = pa_context_new_with_proplist(api(), "Tonvelo", props);
    pa_proplist_free(props);
    if (!context_)
        return false;
    pa_context_set_state_callback(context_, &onState, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        qCInfo(outputLog, "pulseaudio: no daemon answers (%s)", pa_strerror(pa_context_errno(context_)));
        return false;
    }
    pa_threaded_mainloop_set_name(loop_, "tonvelo-pulse");
    return pa_threaded_mainloop_start(loop_) >= 0;
}

void PulseConnection::finishOpen(bool ok)
{
    endOpen();
    opened_ = ok;
    if (!ok)
        qCInfo(outputLog, "pulseaudio: %s", whyNot());
    pa_threaded_mainloop_unlock(loop_);
}

void PulseConnection::endOpen()
{
    if (deadline_)
        api()->time_free(deadline_);
    deadline_ = nullptr;
}

const char* PulseConnection::whyNot() const
{
    if (timedOut_)
        return "the daemon did not answer in time";
    if (failed_.load())
        return pa_strerror(pa_context_errno(context_));
    return "the stream was not taken";
}

void PulseConnection::onState(pa_context* context, void* data)
{
    auto* self = static_cast<PulseConnection*>(data);
    const pa_context_state_t state = pa_context_get_state(context);
    // An open that fails says why once it gives up; this is for a daemon that goes away.
    if ((state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) && self->fail() && self->opened_)
        qCInfo(outputLog, "pulseaudio: lost the daemon (%s)", pa_strerror(pa_context_errno(context)));
    pa_threaded_mainloop_signal(self->loop_, 0);
}

void PulseConnection::onServerInfo(pa_context*, const pa_server_info* info, void* data)
{
    auto* self = static_cast<PulseConnection*>(data);
    if (info) {
        self->serverName_ = info->server_name ? info->server_name : "";
        self->serverRate_ = info->sample_spec.rate;
    }
    self->toldServer_ = true;
    pa_threaded_mainloop_signal(self->loop_, 0);
}

void PulseConnection::onDeadline(pa_mainloop_api*, pa_time_event*, const timeval*, void* data)
{
    auto* self = static_cast<PulseConnection*>(data);
    self->timedOut_ = true;
    pa_threaded_mainloop_signal(self->loop_, 0);
}
