#include "midi/synth/PipeWireOutput.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>

#include <pipewire/pipewire.h>
#include <spa/node/io.h>
#include <spa/param/audio/format-utils.h>

#include "midi/OutputLog.h"
#include "midi/synth/CycleWatch.h"
#include "midi/synth/SynthEngine.h"

namespace {

constexpr int channels = 2;
constexpr int defaultRate = 48000;
// A server that answers takes the stream in tens of milliseconds; the
// caller gives up on this try a little later than this.
constexpr std::chrono::milliseconds openTimeout { 600 };
// Longer than a player's pause between phrases.
constexpr std::chrono::seconds stayInGraph { 10 };

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

// The graph follows the smallest cycle that its streams ask for; 64 frames
// is the smallest PipeWire allows by default.
std::string latency(int frames, int rate)
{
    return std::to_string(frames) + "/" + std::to_string(rate);
}

pw_properties* streamProperties(int frames)
{
    return pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback", PW_KEY_MEDIA_ROLE,
        "Music", PW_KEY_NODE_NAME, "Tonvelo", PW_KEY_NODE_DESCRIPTION, "Tonvelo", PW_KEY_APP_NAME, "Tonvelo",
        PW_KEY_APP_ID, TONVELO_APP_ID, PW_KEY_APP_ICON_NAME, TONVELO_APP_ID, PW_KEY_NODE_LATENCY,
        latency(frames, defaultRate).c_str(), nullptr);
}

// A stream opened again after its server came back keeps the cycle size the
// session settled on.
std::atomic<int> settledFrames { CycleWatch::sizes[0] };

int64_t monotonicNanos()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

// The connection to the server and the stream on it, driven by PipeWire's
// own thread; everything here but the constructor and destructor runs there,
// with the loop locked.
struct PipeWireOutput::Stream {
    struct LoopDeleter {
        void operator()(pw_thread_loop* l) const { pw_thread_loop_destroy(l); }
    };
    struct ContextDeleter {
        void operator()(pw_context* c) const { pw_context_destroy(c); }
    };

    Stream(SynthEngine& e, RenderGate& g)
        : engine(e)
        , gate(g)
    {
    }
    ~Stream();

    static void onIdle(void* self, uint64_t count);
    static void onWake(void* self, uint64_t count);
    static void onLeave(void* self, uint64_t expirations);
    static void onMissedCycles(void* self, uint64_t count);
    void askForCycles(int frames);

    bool start();
    bool connect();
    void disconnect();
    void signal(spa_source* event) { pw_loop_signal_event(pw_thread_loop_get_loop(loop.get()), event); }

    static void onCoreError(void* self, uint32_t id, int seq, int res, const char* message);
    static void onStateChanged(void* self, pw_stream_state old, pw_stream_state state, const char* error);
    static void onParamChanged(void* self, uint32_t id, const spa_pod* param);
    static void onIoChanged(void* self, uint32_t id, void* area, uint32_t size);
    static void onProcess(void* self);

    SynthEngine& engine;
    RenderGate& gate;
    std::unique_ptr<pw_thread_loop, LoopDeleter> loop;
    std::unique_ptr<pw_context, ContextDeleter> context;
    pw_core* core = nullptr;
    pw_stream* stream = nullptr;
    spa_hook coreListener {};
    spa_hook streamListener {};
    spa_source* idleEvent = nullptr;
    spa_source* wakeEvent = nullptr;
    spa_source* leaveTimer = nullptr;
    spa_source* missedEvent = nullptr;
    bool inGraph = true;
    // The graph's clock, as the server shares it with the rendering thread.
    std::atomic<spa_io_position*> position { nullptr };
    CycleWatch cycles { settledFrames.load() };
    std::atomic<int> rate { defaultRate };
    // The user chose the cycle: PIPEWIRE_LATENCY.
    const bool latencyChosen = std::getenv("PIPEWIRE_LATENCY") != nullptr;
    pw_stream_state state = PW_STREAM_STATE_UNCONNECTED;
    std::atomic<bool> gone { false };
};

PipeWireOutput::PipeWireOutput(SynthEngine& engine)
    : AudioOutput(engine)
    , stream_(std::make_unique<Stream>(engine, gate()))
{
}

PipeWireOutput::~PipeWireOutput() = default;

std::unique_ptr<PipeWireOutput> PipeWireOutput::open(SynthEngine& engine)
{
    initPipeWire();
    std::unique_ptr<PipeWireOutput> output(new PipeWireOutput(engine));
    if (!output->stream_->start())
        return nullptr;
    return output;
}

bool PipeWireOutput::alive() const
{
    return !stream_->gone.load();
}

void PipeWireOutput::wentIdle()
{
    stream_->signal(stream_->idleEvent);
}

void PipeWireOutput::woke()
{
    stream_->signal(stream_->wakeEvent);
}

bool PipeWireOutput::Stream::start()
{
    loop.reset(pw_thread_loop_new("tonvelo-pipewire", nullptr));
    if (!loop)
        return false;
    pw_loop* l = pw_thread_loop_get_loop(loop.get());
    // The realtime client set-up: the stream's thread, which renders the
    // synth, then runs at realtime priority where the system allows it, as
    // the server's own threads do; at normal priority it missed cycles.
    context.reset(pw_context_new(l, pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr), 0));
    if (!context)
        return false;
    idleEvent = pw_loop_add_event(l, &Stream::onIdle, this);
    wakeEvent = pw_loop_add_event(l, &Stream::onWake, this);
    leaveTimer = pw_loop_add_timer(l, &Stream::onLeave, this);
    missedEvent = pw_loop_add_event(l, &Stream::onMissedCycles, this);
    if (!idleEvent || !wakeEvent || !leaveTimer || !missedEvent || pw_thread_loop_start(loop.get()) != 0)
        return false;

    pw_thread_loop_lock(loop.get());
    bool ok = connect();
    const auto deadline = std::chrono::steady_clock::now() + openTimeout;
    while (ok && state == PW_STREAM_STATE_CONNECTING && std::chrono::steady_clock::now() < deadline)
        pw_thread_loop_timed_wait(loop.get(), 1);
    const bool answered = state != PW_STREAM_STATE_CONNECTING;
    ok = ok && (state == PW_STREAM_STATE_PAUSED || state == PW_STREAM_STATE_STREAMING);
    if (!ok)
        qCInfo(outputLog, "pipewire: %s",
            !core          ? "no server answers"
                : answered ? "the server refused the stream"
                           : "the server did not answer in time");
    pw_thread_loop_unlock(loop.get());
    return ok;
}

PipeWireOutput::Stream::~Stream()
{
    if (!loop)
        return;
    pw_thread_loop_lock(loop.get());
    disconnect();
    for (spa_source* source : { idleEvent, wakeEvent, leaveTimer, missedEvent })
        if (source)
            pw_loop_destroy_source(pw_thread_loop_get_loop(loop.get()), source);
    pw_thread_loop_unlock(loop.get());
    pw_thread_loop_stop(loop.get());
    context.reset();
}

bool PipeWireOutput::Stream::connect()
{
    core = pw_context_connect(context.get(),
        pw_properties_new(PW_KEY_APP_NAME, "Tonvelo", PW_KEY_APP_ID, TONVELO_APP_ID, nullptr), 0);
    if (!core)
        return false;
    static const pw_core_events coreEvents = [] {
        pw_core_events e {};
        e.version = PW_VERSION_CORE_EVENTS;
        e.error = &Stream::onCoreError;
        return e;
    }();
    pw_core_add_listener(core, &coreListener, &coreEvents, this);

    stream = pw_stream_new(core, "Tonvelo", streamProperties(cycles.frames()));
    if (!stream)
        return false;
    static const pw_stream_events streamEvents = [] {
        pw_stream_events e {};
        e.version = PW_VERSION_STREAM_EVENTS;
        e.state_changed = &Stream::onStateChanged;
        e.param_changed = &Stream::onParamChanged;
        e.io_changed = &Stream::onIoChanged;
        e.process = &Stream::onProcess;
        return e;
    }();
    pw_stream_add_listener(stream, &streamListener, &streamEvents, this);

    uint8_t buffer[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
    spa_audio_info_raw info {};
    info.format = SPA_AUDIO_FORMAT_F32;
    // No rate: the stream takes the graph's, so nothing resamples the synth.
    info.channels = channels;
    info.position[0] = SPA_AUDIO_CHANNEL_FL;
    info.position[1] = SPA_AUDIO_CHANNEL_FR;
    const spa_pod* params[] = { spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info) };
    state = PW_STREAM_STATE_CONNECTING;
    auto flags = static_cast<pw_stream_flags>(
        PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS);
    // In the graph from the start, even while the synth sleeps: it takes the
    // graph's format now, not at the next note, which a change of rate would cut.
    inGraph = true;
    if (pw_stream_connect(stream, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1) != 0)
        return false;
    if (engine.renderer().asleep())
        onIdle(this, 0);
    return true;
}

void PipeWireOutput::Stream::disconnect()
{
    if (stream) {
        spa_hook_remove(&streamListener);
        pw_stream_destroy(stream);
        stream = nullptr;
    }
    if (core) {
        spa_hook_remove(&coreListener);
        pw_core_disconnect(core);
        core = nullptr;
    }
    state = PW_STREAM_STATE_UNCONNECTED;
}

void PipeWireOutput::Stream::onCoreError(void* data, uint32_t id, int, int res, const char* message)
{
    auto* self = static_cast<Stream*>(data);
    // The server went away: its socket broke.
    if (id == PW_ID_CORE && res == -EPIPE) {
        qCInfo(outputLog, "pipewire: lost the server (%s)", message);
        self->state = PW_STREAM_STATE_ERROR;
        self->gone.store(true);
        pw_thread_loop_signal(self->loop.get(), false);
    }
}

void PipeWireOutput::Stream::onStateChanged(
    void* data, pw_stream_state, pw_stream_state state, const char* error)
{
    auto* self = static_cast<Stream*>(data);
    self->state = state;
    if (state == PW_STREAM_STATE_ERROR) {
        qCInfo(outputLog, "pipewire: the stream failed (%s)", error ? error : "");
        self->gone.store(true);
    }
    pw_thread_loop_signal(self->loop.get(), false);
}

// An idle synth stays in the graph a while, handing silence: a player who
// pauses between phrases finds the next press as quick as in steady play.
void PipeWireOutput::Stream::onIdle(void* data, uint64_t)
{
    auto* self = static_cast<Stream*>(data);
    if (!self->stream || !self->inGraph)
        return;
    timespec after { std::chrono::duration_cast<std::chrono::seconds>(stayInGraph).count(), 0 };
    pw_loop_update_timer(pw_thread_loop_get_loop(self->loop.get()), self->leaveTimer, &after, nullptr, false);
}

// Left alone that long, it leaves the graph: no wake-ups at all until the
// next message.
void PipeWireOutput::Stream::onLeave(void* data, uint64_t)
{
    auto* self = static_cast<Stream*>(data);
    // A message may have come since the renderer went idle.
    if (self->stream && self->inGraph && self->engine.renderer().asleep()) {
        pw_stream_set_active(self->stream, false);
        self->inGraph = false;
    }
}

void PipeWireOutput::Stream::onWake(void* data, uint64_t)
{
    auto* self = static_cast<Stream*>(data);
    timespec never {};
    pw_loop_update_timer(pw_thread_loop_get_loop(self->loop.get()), self->leaveTimer, &never, nullptr, false);
    if (self->stream && !self->inGraph) {
        self->cycles.resync();
        pw_stream_set_active(self->stream, true);
        self->inGraph = true;
    }
}

void PipeWireOutput::Stream::onProcess(void* data)
{
    auto* self = static_cast<Stream*>(data);
    pw_buffer* b = pw_stream_dequeue_buffer(self->stream);
    if (!b)
        return;
    spa_data& d = b->buffer->datas[0];
    if (auto* samples = static_cast<float*>(d.data)) {
        const uint32_t stride = sizeof(float) * channels;
        uint32_t frames = d.maxsize / stride;
        if (b->requested)
            frames = std::min(frames, static_cast<uint32_t>(b->requested));
        self->gate.render(samples, samples + 1, static_cast<int>(frames), channels);
        d.chunk->offset = 0;
        d.chunk->stride = static_cast<int32_t>(stride);
        d.chunk->size = frames * stride;
    }
    pw_stream_queue_buffer(self->stream, b);
    if (const spa_io_position* position = self->position.load(std::memory_order_acquire)) {
        const spa_io_clock& clock = position->clock;
        if (self->cycles.cycleDone(clock.position, clock.duration, clock.next_nsec, monotonicNanos()))
            self->signal(self->missedEvent);
    }
}

void PipeWireOutput::Stream::onParamChanged(void* data, uint32_t id, const spa_pod* param)
{
    auto* self = static_cast<Stream*>(data);
    spa_audio_info_raw info {};
    if (id != SPA_PARAM_Format || !param || spa_format_audio_raw_parse(param, &info) < 0 || info.rate == 0)
        return;
    // The format comes before the stream's first cycle, and no other
    // output plays the synth while this one opens or plays.
    if (info.rate != static_cast<uint32_t>(self->engine.sampleRate())) {
        qCInfo(outputLog, "pipewire: the graph runs at %u Hz; the synth follows", info.rate);
        self->engine.setSampleRate(info.rate);
    }
    // The same cycle in frames at this rate: the graph takes the request in time.
    if (self->rate.exchange(static_cast<int>(info.rate), std::memory_order_relaxed)
        != static_cast<int>(info.rate))
        self->askForCycles(self->cycles.frames());
}

void PipeWireOutput::Stream::onIoChanged(void* data, uint32_t id, void* area, uint32_t size)
{
    auto* self = static_cast<Stream*>(data);
    if (id == SPA_IO_Position)
        self->position.store(
            area && size >= sizeof(spa_io_position) ? static_cast<spa_io_position*>(area) : nullptr,
            std::memory_order_release);
}

void PipeWireOutput::Stream::onMissedCycles(void* data, uint64_t)
{
    auto* self = static_cast<Stream*>(data);
    const int frames = self->cycles.judge(monotonicNanos());
    if (!self->stream || self->latencyChosen || frames == 0)
        return;
    self->askForCycles(frames);
    settledFrames.store(frames);
    qCInfo(outputLog, "pipewire: the stream missed cycles; asking for %d-frame cycles", frames);
}

void PipeWireOutput::Stream::askForCycles(int frames)
{
    if (!stream || latencyChosen)
        return;
    const std::string value = latency(frames, rate.load(std::memory_order_relaxed));
    const spa_dict_item item = SPA_DICT_ITEM_INIT(PW_KEY_NODE_LATENCY, value.c_str());
    const spa_dict dict = SPA_DICT_INIT(&item, 1);
    pw_stream_update_properties(stream, &dict);
}
