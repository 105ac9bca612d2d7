#include "midi/synth/PulseOutput.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>

#include <pulse/pulseaudio.h>

#include "midi/log/OutputLog.h"
#include "midi/synth/SocketAnswers.h"
#include "midi/synth/SynthEngine.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int channels = 2;
constexpr size_t frameBytes = sizeof(float) * channels;
// A daemon that answers takes the stream in tens of milliseconds; the
// caller gives up on this try a little later than this.
constexpr pa_usec_t openTimeout = 600'000;
// The buffer asked for: the daemon grants the least its sink can do, and
// the stream asks for twice as much each time it really runs dry.
constexpr pa_usec_t shortestLatency = 1'000;
constexpr pa_usec_t longestLatency = 16'000;
// Running dry this soon after the stream started, paused or uncorked is its first fill.
constexpr auto fillTime = std::chrono::milliseconds(200);

// What the session settled on; a stream opened again after its daemon came
// back keeps it.
std::atomic<pa_usec_t> settledLatency { shortestLatency };

// Whether PipeWire's own socket answers, where its library looks for it.
bool pipeWireAnswers()
{
    const char* remote = std::getenv("PIPEWIRE_REMOTE");
    std::string path = remote && *remote ? remote : "pipewire-0";
    if (path[0] != '/') {
        const char* dir = std::getenv("PIPEWIRE_RUNTIME_DIR");
        if (!dir || !*dir)
            dir = std::getenv("XDG_RUNTIME_DIR");
        if (!dir || !*dir)
            return false;
        path = std::string(dir) + "/" + path;
    }
    return socketAnswers(path);
}

pa_proplist* properties()
{
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Tonvelo");
    pa_proplist_sets(props, PA_PROP_APPLICATION_ID, TONVELO_APP_ID);
    pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, TONVELO_APP_ID);
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "music");
    return props;
}

pa_buffer_attr bufferFor(pa_usec_t latency, const pa_sample_spec& spec)
{
    pa_buffer_attr attr {};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(latency, &spec));
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(-1);
    return attr;
}

} // namespace

// The connection and its stream, on libpulse's mainloop thread
// ("tonvelo-pulse"): every callback below runs there, with the loop locked.
struct PulseOutput::Stream {
    Stream(SynthEngine& e, RenderGate& g)
        : engine(e)
        , gate(g)
    {
    }
    ~Stream();

    // The opener's thread.
    bool start();
    // With the loop locked: waits for the callbacks until `done`, a failure or the deadline.
    template <typename Done> bool waitFor(Done done);
    bool connectStream();
    // With the loop locked: corked while the synth is asleep, else playing.
    void followIdle();

    static void onContextState(pa_context* context, void* self);
    static void onServerInfo(pa_context* context, const pa_server_info* info, void* self);
    static void onStreamState(pa_stream* stream, void* self);
    static void onWrite(pa_stream* stream, size_t bytes, void* self);
    static void onUnderflow(pa_stream* stream, void* self);
    static void onWake(
        pa_mainloop_api* api, pa_io_event* event, int fd, pa_io_event_flags_t flags, void* self);
    static void onDeadline(pa_mainloop_api* api, pa_time_event* event, const timeval* time, void* self);

    SynthEngine& engine;
    RenderGate& gate;
    const int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    pa_io_event* wakeEvent = nullptr;
    std::atomic<uint32_t> rate { 0 };
    std::atomic<bool> failed { false };

    // The mainloop thread's, and the opener's while it waits.
    bool timedOut = false;
    bool toldServer = false;
    std::string serverName;
    uint32_t serverRate = 0;
    bool corked = false;
    pa_usec_t latency = settledLatency.load();
    Clock::time_point playingSince;
    Clock::time_point lastWrite;
};

PulseOutput::PulseOutput(SynthEngine& engine)
    : AudioOutput(engine)
    , stream_(std::make_unique<Stream>(engine, gate()))
{
}

PulseOutput::~PulseOutput() = default;

std::unique_ptr<PulseOutput> PulseOutput::open(SynthEngine& engine)
{
    std::unique_ptr<PulseOutput> output(new PulseOutput(engine));
    if (!output->stream_->start())
        return nullptr;
    return output;
}

bool PulseOutput::alive() const
{
    return !stream_->failed.load();
}

double PulseOutput::rate() const
{
    return stream_->rate.load();
}

// Both only knock: the mainloop thread looks at the synth and corks or
// uncorks. A write to an eventfd neither locks nor allocates.
void PulseOutput::wentIdle()
{
    const uint64_t one = 1;
    [[maybe_unused]] const auto written = write(stream_->wakeFd, &one, sizeof one);
}

void PulseOutput::woke()
{
    wentIdle();
}

bool PulseOutput::Stream::start()
{
    loop = pa_threaded_mainloop_new();
    if (!loop || wakeFd < 0)
        return false;
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop);
    pa_proplist* props = properties();
    context = pa_context_new_with_proplist(api, "Tonvelo", props);
    pa_proplist_free(props);
    wakeEvent = api->io_new(api, wakeFd, PA_IO_EVENT_INPUT, &Stream::onWake, this);
    if (!context || !wakeEvent)
        return false;
    pa_context_set_state_callback(context, &Stream::onContextState, this);
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        qCInfo(outputLog, "pulseaudio: no daemon answers (%s)", pa_strerror(pa_context_errno(context)));
        return false;
    }
    pa_threaded_mainloop_set_name(loop, "tonvelo-pulse");
    if (pa_threaded_mainloop_start(loop) < 0)
        return false;

    pa_threaded_mainloop_lock(loop);
    pa_time_event* deadline
        = pa_context_rttime_new(context, pa_rtclock_now() + openTimeout, &onDeadline, this);
    bool ok = waitFor([&] { return pa_context_get_state(context) == PA_CONTEXT_READY; });
    if (ok)
        if (pa_operation* asked = pa_context_get_server_info(context, &Stream::onServerInfo, this)) {
            ok = waitFor([&] { return toldServer; });
            pa_operation_unref(asked);
        }
    // On a PipeWire desktop its PulseAudio service adds a hop; PipeWire's
    // own stream is tried first and again, as it is back within moments.
    if (ok && serverName.find("PipeWire") != std::string::npos && pipeWireAnswers()) {
        qCInfo(outputLog, "pulseaudio: the daemon is PipeWire's service, left to PipeWire's own stream");
        ok = false;
    }
    ok = ok && connectStream() && waitFor([&] { return pa_stream_get_state(stream) == PA_STREAM_READY; });
    if (deadline)
        api->time_free(deadline);
    if (!ok)
        qCInfo(outputLog, "pulseaudio: %s",
            timedOut     ? "the daemon did not answer in time"
                : failed ? pa_strerror(pa_context_errno(context))
                         : "the stream was not taken");
    pa_threaded_mainloop_unlock(loop);
    return ok;
}

template <typename Done> bool PulseOutput::Stream::waitFor(Done done)
{
    while (!done() && !failed.load() && !timedOut)
        pa_threaded_mainloop_wait(loop);
    return done();
}

bool PulseOutput::Stream::connectStream()
{
    // The daemon's own rate, so that nothing resamples the synth where the
    // sink runs at it.
    const auto wanted = static_cast<uint32_t>(engine.renderableRate(serverRate ? serverRate : 48000));
    const pa_sample_spec spec { PA_SAMPLE_FLOAT32NE, wanted, channels };
    pa_channel_map map;
    pa_channel_map_init_stereo(&map);
    pa_proplist* props = properties();
    stream = pa_stream_new_with_proplist(context, "Tonvelo", &spec, &map, props);
    pa_proplist_free(props);
    if (!stream)
        return false;
    pa_stream_set_state_callback(stream, &Stream::onStreamState, this);
    pa_stream_set_write_callback(stream, &Stream::onWrite, this);
    pa_stream_set_underflow_callback(stream, &Stream::onUnderflow, this);
    const pa_buffer_attr attr = bufferFor(latency, spec);
    playingSince = Clock::now();
    if (pa_stream_connect_playback(stream, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0)
        return false;
    rate.store(wanted);
    return true;
}

PulseOutput::Stream::~Stream()
{
    if (loop) {
        pa_threaded_mainloop_lock(loop);
        if (stream) {
            pa_stream_set_state_callback(stream, nullptr, nullptr);
            pa_stream_set_write_callback(stream, nullptr, nullptr);
            pa_stream_set_underflow_callback(stream, nullptr, nullptr);
            pa_stream_disconnect(stream);
            pa_stream_unref(stream);
        }
        if (wakeEvent)
            pa_threaded_mainloop_get_api(loop)->io_free(wakeEvent);
        if (context) {
            pa_context_set_state_callback(context, nullptr, nullptr);
            pa_context_disconnect(context);
            pa_context_unref(context);
        }
        pa_threaded_mainloop_unlock(loop);
        pa_threaded_mainloop_stop(loop);
        pa_threaded_mainloop_free(loop);
    }
    if (wakeFd >= 0)
        close(wakeFd);
}

void PulseOutput::Stream::followIdle()
{
    const bool asleep = gate.isOpen() && engine.renderer().asleep();
    if (!stream || asleep == corked)
        return;
    corked = asleep;
    if (!asleep)
        playingSince = Clock::now();
    if (pa_operation* done = pa_stream_cork(stream, asleep ? 1 : 0, nullptr, nullptr))
        pa_operation_unref(done);
}

void PulseOutput::Stream::onContextState(pa_context* context, void* data)
{
    auto* self = static_cast<Stream*>(data);
    const pa_context_state_t state = pa_context_get_state(context);
    // An open that fails says why once it gives up; this is for a daemon that goes away.
    if ((state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) && !self->failed.exchange(true)
        && self->rate.load() != 0)
        qCInfo(outputLog, "pulseaudio: lost the daemon (%s)", pa_strerror(pa_context_errno(context)));
    pa_threaded_mainloop_signal(self->loop, 0);
}

void PulseOutput::Stream::onServerInfo(pa_context*, const pa_server_info* info, void* data)
{
    auto* self = static_cast<Stream*>(data);
    if (info) {
        self->serverName = info->server_name ? info->server_name : "";
        self->serverRate = info->sample_spec.rate;
    }
    self->toldServer = true;
    pa_threaded_mainloop_signal(self->loop, 0);
}

void PulseOutput::Stream::onStreamState(pa_stream* stream, void* data)
{
    auto* self = static_cast<Stream*>(data);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
        if (!self->failed.exchange(true))
            qCInfo(outputLog, "pulseaudio: the stream failed (%s)",
                pa_strerror(pa_context_errno(pa_stream_get_context(stream))));
    }
    pa_threaded_mainloop_signal(self->loop, 0);
}

void PulseOutput::Stream::onWrite(pa_stream* stream, size_t, void* data)
{
    auto* self = static_cast<Stream*>(data);
    // A stream asked again after a pause is refilling, not running dry.
    const auto now = Clock::now();
    if (now - self->lastWrite > fillTime)
        self->playingSince = now;
    self->lastWrite = now;
    // The daemon may hand over less memory at once than it asked for.
    for (size_t bytes; (bytes = pa_stream_writable_size(stream)) >= frameBytes && bytes != size_t(-1);) {
        void* buffer = nullptr;
        if (pa_stream_begin_write(stream, &buffer, &bytes) < 0 || !buffer || bytes < frameBytes)
            break;
        const size_t frames = bytes / frameBytes;
        auto* samples = static_cast<float*>(buffer);
        self->gate.render(samples, samples + 1, static_cast<int>(frames), channels);
        if (pa_stream_write(stream, buffer, frames * frameBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            break;
    }
    self->followIdle();
}

// A stream that ran dry while the synth played asks for a longer buffer,
// and gives it time to fill; one that was only filling up after a start, a
// pause or an uncork does not.
void PulseOutput::Stream::onUnderflow(pa_stream* stream, void* data)
{
    auto* self = static_cast<Stream*>(data);
    if (self->corked || self->engine.renderer().idle() || Clock::now() - self->playingSince < fillTime
        || self->latency >= longestLatency)
        return;
    self->latency *= 2;
    self->playingSince = Clock::now();
    settledLatency.store(self->latency);
    const pa_buffer_attr attr = bufferFor(self->latency, *pa_stream_get_sample_spec(stream));
    if (pa_operation* done = pa_stream_set_buffer_attr(stream, &attr, nullptr, nullptr))
        pa_operation_unref(done);
    qCInfo(outputLog, "pulseaudio: the stream ran dry; asking for %llu µs of buffer",
        static_cast<unsigned long long>(self->latency));
}

void PulseOutput::Stream::onWake(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void* data)
{
    uint64_t knocks = 0;
    [[maybe_unused]] const auto read = ::read(fd, &knocks, sizeof knocks);
    static_cast<Stream*>(data)->followIdle();
}

void PulseOutput::Stream::onDeadline(pa_mainloop_api*, pa_time_event*, const timeval*, void* data)
{
    auto* self = static_cast<Stream*>(data);
    self->timedOut = true;
    pa_threaded_mainloop_signal(self->loop, 0);
}
