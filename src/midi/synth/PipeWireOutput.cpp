#include "midi/synth/PipeWireOutput.h"

#include <cerrno>
#include <chrono>
#include <mutex>

#include <spa/param/audio/format-utils.h>

namespace {

constexpr int rate = 48000;
constexpr int channels = 2;
// The smallest quantum PipeWire allows by default; the graph follows the
// smallest that its streams ask for.
constexpr const char* latency = "64/48000";
// How often a lost server is looked for again: it plays within a second of
// coming back, and an absent one costs nothing worth counting.
constexpr timespec retryEvery { 0, 200'000'000 };
constexpr std::chrono::seconds openTimeout { 3 };

void initPipeWire()
{
    static std::once_flag once;
    std::call_once(once, [] { pw_init(nullptr, nullptr); });
}

pw_properties* streamProperties()
{
    return pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback", PW_KEY_MEDIA_ROLE,
        "Music", PW_KEY_NODE_NAME, "Tonvelo", PW_KEY_NODE_DESCRIPTION, "Tonvelo", PW_KEY_APP_NAME, "Tonvelo",
        PW_KEY_APP_ID, TONVELO_APP_ID, PW_KEY_APP_ICON_NAME, TONVELO_APP_ID, PW_KEY_NODE_LATENCY, latency,
        nullptr);
}

constexpr pw_core_events coreEvents(void (*error)(void*, uint32_t, int, int, const char*))
{
    pw_core_events events {};
    events.version = PW_VERSION_CORE_EVENTS;
    events.error = error;
    return events;
}

} // namespace

PipeWireOutput::PipeWireOutput(IdleRenderer& renderer)
    : renderer_(renderer)
{
}

std::unique_ptr<PipeWireOutput> PipeWireOutput::open(IdleRenderer& renderer)
{
    initPipeWire();
    std::unique_ptr<PipeWireOutput> output(new PipeWireOutput(renderer));
    output->loop_.reset(pw_thread_loop_new("tonvelo-pipewire", nullptr));
    if (!output->loop_)
        return nullptr;
    pw_loop* loop = pw_thread_loop_get_loop(output->loop_.get());
    output->context_.reset(pw_context_new(
        loop, pw_properties_new(PW_KEY_APP_NAME, "Tonvelo", PW_KEY_APP_ID, TONVELO_APP_ID, nullptr), 0));
    if (!output->context_)
        return nullptr;
    output->retryTimer_ = pw_loop_add_timer(loop, &PipeWireOutput::onRetry, output.get());
    if (!output->retryTimer_ || pw_thread_loop_start(output->loop_.get()) != 0)
        return nullptr;

    pw_thread_loop_lock(output->loop_.get());
    bool ok = output->connect();
    const auto deadline = std::chrono::steady_clock::now() + openTimeout;
    while (ok && output->state_ == PW_STREAM_STATE_CONNECTING && std::chrono::steady_clock::now() < deadline)
        pw_thread_loop_timed_wait(output->loop_.get(), 1);
    ok = ok && (output->state_ == PW_STREAM_STATE_PAUSED || output->state_ == PW_STREAM_STATE_STREAMING);
    pw_thread_loop_unlock(output->loop_.get());
    if (!ok)
        return nullptr;
    return output;
}

PipeWireOutput::~PipeWireOutput()
{
    if (!loop_)
        return;
    pw_thread_loop_lock(loop_.get());
    disconnect();
    if (retryTimer_)
        pw_loop_destroy_source(pw_thread_loop_get_loop(loop_.get()), retryTimer_);
    pw_thread_loop_unlock(loop_.get());
    pw_thread_loop_stop(loop_.get());
    context_.reset();
}

bool PipeWireOutput::connect()
{
    core_ = pw_context_connect(context_.get(), nullptr, 0);
    if (!core_)
        return false;
    static constexpr pw_core_events events = coreEvents(&PipeWireOutput::onCoreError);
    pw_core_add_listener(core_, &coreListener_, &events, this);

    stream_ = pw_stream_new(core_, "Tonvelo", streamProperties());
    if (!stream_)
        return false;
    static const pw_stream_events streamEvents = [] {
        pw_stream_events e {};
        e.version = PW_VERSION_STREAM_EVENTS;
        e.state_changed = &PipeWireOutput::onStateChanged;
        e.process = &PipeWireOutput::onProcess;
        return e;
    }();
    pw_stream_add_listener(stream_, &streamListener_, &streamEvents, this);

    uint8_t buffer[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
    spa_audio_info_raw info {};
    info.format = SPA_AUDIO_FORMAT_F32;
    info.rate = rate;
    info.channels = channels;
    info.position[0] = SPA_AUDIO_CHANNEL_FL;
    info.position[1] = SPA_AUDIO_CHANNEL_FR;
    const spa_pod* params[] = { spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info) };
    state_ = PW_STREAM_STATE_CONNECTING;
    const auto flags = static_cast<pw_stream_flags>(
        PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS);
    return pw_stream_connect(stream_, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1) == 0;
}

void PipeWireOutput::disconnect()
{
    if (stream_) {
        spa_hook_remove(&streamListener_);
        pw_stream_destroy(stream_);
        stream_ = nullptr;
    }
    if (core_) {
        spa_hook_remove(&coreListener_);
        pw_core_disconnect(core_);
        core_ = nullptr;
    }
    state_ = PW_STREAM_STATE_UNCONNECTED;
}

void PipeWireOutput::retrySoon()
{
    pw_loop_update_timer(pw_thread_loop_get_loop(loop_.get()), retryTimer_,
        const_cast<timespec*>(&retryEvery), const_cast<timespec*>(&retryEvery), false);
}

void PipeWireOutput::onCoreError(void* data, uint32_t id, int, int res, const char*)
{
    auto* self = static_cast<PipeWireOutput*>(data);
    // The server went away: its socket broke.
    if (id == PW_ID_CORE && res == -EPIPE) {
        self->state_ = PW_STREAM_STATE_ERROR;
        self->retrySoon();
        pw_thread_loop_signal(self->loop_.get(), false);
    }
}

void PipeWireOutput::onStateChanged(void* data, pw_stream_state, pw_stream_state state, const char*)
{
    auto* self = static_cast<PipeWireOutput*>(data);
    self->state_ = state;
    if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED)
        self->retrySoon();
    pw_thread_loop_signal(self->loop_.get(), false);
}

void PipeWireOutput::onRetry(void* data, uint64_t)
{
    auto* self = static_cast<PipeWireOutput*>(data);
    self->disconnect();
    if (!self->connect())
        return;
    static constexpr timespec never {};
    pw_loop_update_timer(pw_thread_loop_get_loop(self->loop_.get()), self->retryTimer_,
        const_cast<timespec*>(&never), const_cast<timespec*>(&never), false);
}

void PipeWireOutput::onProcess(void* data)
{
    auto* self = static_cast<PipeWireOutput*>(data);
    pw_buffer* b = pw_stream_dequeue_buffer(self->stream_);
    if (!b)
        return;
    spa_data& d = b->buffer->datas[0];
    auto* samples = static_cast<float*>(d.data);
    if (samples) {
        const uint32_t stride = sizeof(float) * channels;
        uint32_t frames = d.maxsize / stride;
        if (b->requested)
            frames = std::min(frames, static_cast<uint32_t>(b->requested));
        self->renderer_.render(samples, samples + 1, static_cast<int>(frames), channels);
        d.chunk->offset = 0;
        d.chunk->stride = static_cast<int32_t>(stride);
        d.chunk->size = frames * stride;
    }
    pw_stream_queue_buffer(self->stream_, b);
}
