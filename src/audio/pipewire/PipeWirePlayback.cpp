#include "audio/pipewire/PipeWirePlayback.h"

#include <atomic>
#include <chrono>
#include <cstring>

#include <spa/param/audio/format-utils.h>

#include "audio/SynthEngine.h"
#include "audio/pipewire/CycleSize.h"
#include "audio/pipewire/GraphStay.h"
#include "audio/pipewire/PipeWireLoop.h"
#include "audio/pipewire/StreamSetup.h"
#include "log/OutputLog.h"

namespace {

constexpr int channels = 2;
constexpr int defaultRate = 48000;
// A server that answers takes the stream in tens of milliseconds; the
// caller gives up on this try a little later than this.
constexpr std::chrono::milliseconds openTimeout { 600 };

} // namespace

// The stream on the connection, and the format it follows. Its events run on
// the loop thread, but for onProcess, which runs on the data thread.
struct PipeWirePlayback::Stream {
    Stream(PipeWirePlayback& o, SynthEngine& e, RenderGate& g)
        : owner(o)
        , engine(e)
        , gate(g)
    {
    }
    ~Stream();

    bool start();
    // With the loop locked. `fixedRate` 0 takes the graph's rate, so that
    // nothing resamples the synth; another asks PipeWire to resample.
    bool connect(uint32_t fixedRate);
    void disconnect();

    // The loop thread.
    static void onStateChanged(void* self, pw_stream_state old, pw_stream_state state, const char* error);
    static void onParamChanged(void* self, uint32_t id, const spa_pod* param);
    static void onIoChanged(void* self, uint32_t id, void* area, uint32_t size);
    static void onReconnect(void* self, uint64_t count);
    // The data thread, realtime.
    static void onProcess(void* self);

    PipeWirePlayback& owner;
    SynthEngine& engine;
    RenderGate& gate;
    PipeWireLoop loop;
    CycleSize cycles { loop };
    GraphStay stay { loop, engine.renderer(), cycles.watch() };
    spa_source* reconnectEvent = loop.addEvent(&Stream::onReconnect, this);
    pw_stream* stream = nullptr;
    spa_hook streamListener {};
    // The graph's clock, as the server shares it with the data thread.
    std::atomic<spa_io_position*> position { nullptr };
    // The format's rate, which the synth renders at; 0 until it is known.
    std::atomic<uint32_t> rate { 0 };
    uint32_t fixedRate = 0;
    pw_stream_state state = PW_STREAM_STATE_UNCONNECTED;
    std::atomic<bool> failed { false };
};

PipeWirePlayback::PipeWirePlayback(SynthEngine& engine)
    : Playback(engine)
    , stream_(std::make_unique<Stream>(*this, engine, gate()))
{
}

PipeWirePlayback::~PipeWirePlayback() = default;

std::unique_ptr<PipeWirePlayback> PipeWirePlayback::open(SynthEngine& engine)
{
    std::unique_ptr<PipeWirePlayback> playback(new PipeWirePlayback(engine));
    if (!playback->stream_->start())
        return nullptr;
    return playback;
}

bool PipeWirePlayback::alive() const
{
    return !stream_->loop.gone() && !stream_->failed.load();
}

double PipeWirePlayback::rate() const
{
    return stream_->rate.load();
}

void PipeWirePlayback::wentIdle()
{
    stream_->stay.wentIdle();
}

void PipeWirePlayback::woke()
{
    stream_->stay.woke();
}

bool PipeWirePlayback::Stream::start()
{
    if (!loop.start() || !cycles.ok() || !stay.ok() || !reconnectEvent)
        return false;
    loop.lock();
    bool ok = connect(0);
    const auto deadline = std::chrono::steady_clock::now() + openTimeout;
    const auto waiting
        = [&] { return !loop.gone() && !failed.load() && state == PW_STREAM_STATE_CONNECTING; };
    while (ok && waiting() && std::chrono::steady_clock::now() < deadline)
        loop.wait();
    const bool answered = !waiting();
    ok = ok && answered && !loop.gone() && !failed.load();
    if (!ok)
        qCInfo(outputLog, "pipewire: %s",
            !stream        ? "no server answers"
                : answered ? "the server refused the stream"
                           : "the server did not answer in time");
    loop.unlock();
    return ok;
}

PipeWirePlayback::Stream::~Stream()
{
    if (!loop.ready())
        return;
    loop.lock();
    disconnect();
    loop.close();
    loop.unlock();
}

bool PipeWirePlayback::Stream::connect(uint32_t requestedRate)
{
    pw_core* core = loop.connect();
    if (!core)
        return false;
    fixedRate = requestedRate;
    stream = pw_stream_new(core, "Tonvelo", streamProperties(cycles.latency(defaultRate)));
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
    const spa_pod* params[] = { streamFormat(builder, fixedRate) };
    state = PW_STREAM_STATE_CONNECTING;
    auto flags = static_cast<pw_stream_flags>(
        PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS);
    if (pw_stream_connect(stream, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1) != 0)
        return false;
    cycles.joined(stream);
    stay.joined(stream);
    return true;
}

void PipeWirePlayback::Stream::disconnect()
{
    cycles.joined(nullptr);
    stay.joined(nullptr);
    position.store(nullptr);
    if (stream) {
        spa_hook_remove(&streamListener);
        pw_stream_destroy(stream);
        stream = nullptr;
    }
    state = PW_STREAM_STATE_UNCONNECTED;
}

void PipeWirePlayback::Stream::onStateChanged(
    void* data, pw_stream_state, pw_stream_state state, const char* error)
{
    auto* self = static_cast<Stream*>(data);
    self->state = state;
    // The session manager says so of a stream that met a graph whose sink
    // is not there yet, such as a server that restarts: it links the
    // stream once the sink shows, and the stream's ports stay as they are.
    // WirePlumber 0.4 says "no node available", 0.5 "no target node available".
    const bool noSinkYet = error
        && (std::strcmp(error, "no node available") == 0
            || std::strcmp(error, "no target node available") == 0);
    if (state == PW_STREAM_STATE_ERROR && noSinkYet)
        qCInfo(outputLog, "pipewire: no sink yet; the stream waits for one");
    else if (state == PW_STREAM_STATE_ERROR) {
        qCInfo(outputLog, "pipewire: the stream failed (%s)", error ? error : "");
        self->failed.store(true);
    }
    self->loop.wake();
}

void PipeWirePlayback::Stream::onProcess(void* data)
{
    auto* self = static_cast<Stream*>(data);
    pw_buffer* b = pw_stream_dequeue_buffer(self->stream);
    if (!b)
        return;
    bool rendered = false;
    spa_data& d = b->buffer->datas[0];
    if (auto* samples = static_cast<float*>(d.data)) {
        const uint32_t stride = sizeof(float) * channels;
        uint32_t frames = d.maxsize / stride;
        if (b->requested)
            frames = std::min(frames, static_cast<uint32_t>(b->requested));
        rendered = self->gate.render(samples, samples + 1, static_cast<int>(frames), channels);
        d.chunk->offset = 0;
        d.chunk->stride = static_cast<int32_t>(stride);
        d.chunk->size = frames * stride;
    }
    pw_stream_queue_buffer(self->stream, b);
    self->cycles.cycleDone(self->position.load(std::memory_order_acquire), rendered);
}

// The format comes before the stream's first cycle and again when the graph
// changes its rate. The synth follows by way of the supervisor, which alone
// sets its rate; a graph rate FluidSynth cannot render makes the stream ask
// for one it can, and PipeWire resamples.
void PipeWirePlayback::Stream::onParamChanged(void* data, uint32_t id, const spa_pod* param)
{
    auto* self = static_cast<Stream*>(data);
    spa_audio_info_raw info {};
    if (id != SPA_PARAM_Format || !param || spa_format_audio_raw_parse(param, &info) < 0 || info.rate == 0)
        return;
    const auto renderable = static_cast<uint32_t>(self->engine.renderableRate(info.rate));
    if (renderable != info.rate) {
        qCInfo(outputLog,
            "pipewire: the graph runs at %u Hz, which the synth cannot render; it asks for %u Hz", info.rate,
            renderable);
        self->fixedRate = renderable;
        self->loop.signal(self->reconnectEvent);
        return;
    }
    if (self->rate.exchange(info.rate) != info.rate) {
        qCInfo(outputLog, "pipewire: the stream runs at %u Hz%s", info.rate,
            self->fixedRate ? ", resampled to the graph's rate" : ", the graph's");
        self->owner.tellRateChanged();
    }
    self->cycles.rateChanged(static_cast<int>(info.rate));
    self->loop.wake();
}

void PipeWirePlayback::Stream::onIoChanged(void* data, uint32_t id, void* area, uint32_t size)
{
    auto* self = static_cast<Stream*>(data);
    if (id == SPA_IO_Position)
        self->position.store(
            area && size >= sizeof(spa_io_position) ? static_cast<spa_io_position*>(area) : nullptr,
            std::memory_order_release);
}

void PipeWirePlayback::Stream::onReconnect(void* data, uint64_t)
{
    auto* self = static_cast<Stream*>(data);
    if (!self->stream)
        return;
    const uint32_t wanted = self->fixedRate;
    self->disconnect();
    if (!self->connect(wanted))
        self->failed.store(true);
    self->loop.wake();
}
