#include "audio/pulse/PulsePlayback.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>

#include "audio/RepeatedStalls.h"
#include "audio/SynthEngine.h"
#include "audio/pulse/PulseConnection.h"
#include "log/OutputLog.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int channels = 2;
constexpr size_t frameBytes = sizeof(float) * channels;
// The buffer asked for: the daemon grants the least its sink can do, and
// the stream asks for half as much again each time it keeps running dry.
constexpr pa_usec_t shortestLatency = 1'000;
constexpr pa_usec_t longestLatency = 16'000;
// Running dry this soon after the stream started, paused or uncorked is its first fill.
constexpr auto fillTime = std::chrono::milliseconds(200);

// What the session settled on; a stream opened again after its daemon came
// back keeps it.
std::atomic<pa_usec_t> settledLatency { shortestLatency };

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

int64_t nanos(Clock::time_point time)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
}

} // namespace

// The stream, on the connection's mainloop thread: every callback below
// runs there, with the loop locked.
struct PulsePlayback::Stream {
    Stream(SynthEngine& e, RenderGate& g)
        : engine(e)
        , gate(g)
    {
    }
    ~Stream();

    // The opener's thread.
    bool start();
    bool connect();
    // With the loop locked: corked while the synth is asleep, else playing.
    void followIdle();
    // With the loop locked: a note struck in silence need not wait behind the
    // silence still queued at the daemon.
    void dropQueuedSilence();

    static void onState(pa_stream* stream, void* self);
    static void onWrite(pa_stream* stream, size_t bytes, void* self);
    static void onUnderflow(pa_stream* stream, void* self);
    static void onWake(
        pa_mainloop_api* api, pa_io_event* event, int fd, pa_io_event_flags_t flags, void* self);

    SynthEngine& engine;
    RenderGate& gate;
    PulseConnection connection;
    const int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    pa_io_event* wakeEvent = nullptr;
    pa_stream* stream = nullptr;
    std::atomic<uint32_t> rate { 0 };
    std::atomic<bool> struck { false }; // a message came in silence since the last knock

    // The mainloop thread's.
    bool corked = false;
    pa_usec_t latency = settledLatency.load();
    RepeatedStalls underflows;
    Clock::time_point playingSince;
    Clock::time_point lastWrite;
};

PulsePlayback::PulsePlayback(SynthEngine& engine)
    : Playback(engine)
    , stream_(std::make_unique<Stream>(engine, gate()))
{
}

PulsePlayback::~PulsePlayback() = default;

std::unique_ptr<PulsePlayback> PulsePlayback::open(SynthEngine& engine)
{
    std::unique_ptr<PulsePlayback> playback(new PulsePlayback(engine));
    if (!playback->stream_->start())
        return nullptr;
    return playback;
}

bool PulsePlayback::alive() const
{
    return !stream_->connection.failed();
}

double PulsePlayback::rate() const
{
    return stream_->rate.load();
}

// Both only knock: the mainloop thread looks at the synth, corks or uncorks,
// and after a wake drops the silence queued at the daemon. A write to an
// eventfd neither locks nor allocates.
void PulsePlayback::wentIdle()
{
    const uint64_t one = 1;
    [[maybe_unused]] const auto written = write(stream_->wakeFd, &one, sizeof one);
}

void PulsePlayback::woke()
{
    stream_->struck.store(true);
    wentIdle();
}

bool PulsePlayback::Stream::start()
{
    if (wakeFd < 0 || !connection.open())
        return false;
    wakeEvent = connection.api()->io_new(connection.api(), wakeFd, PA_IO_EVENT_INPUT, &onWake, this);
    const bool ok = wakeEvent && connect()
        && connection.waitFor([&] { return pa_stream_get_state(stream) == PA_STREAM_READY; });
    connection.finishOpen(ok);
    return ok;
}

bool PulsePlayback::Stream::connect()
{
    // The daemon's own rate, so that nothing resamples the synth where the
    // sink runs at it.
    const uint32_t daemonRate = connection.serverRate();
    const auto wanted = static_cast<uint32_t>(engine.renderableRate(daemonRate ? daemonRate : 48000));
    const pa_sample_spec spec { PA_SAMPLE_FLOAT32NE, wanted, channels };
    pa_channel_map map;
    pa_channel_map_init_stereo(&map);
    pa_proplist* props = PulseConnection::properties();
    stream = pa_stream_new_with_proplist(connection.context(), "Tonvelo", &spec, &map, props);
    pa_proplist_free(props);
    if (!stream)
        return false;
    pa_stream_set_state_callback(stream, &onState, this);
    pa_stream_set_write_callback(stream, &onWrite, this);
    pa_stream_set_underflow_callback(stream, &onUnderflow, this);
    const pa_buffer_attr attr = bufferFor(latency, spec);
    playingSince = Clock::now();
    if (pa_stream_connect_playback(stream, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0)
        return false;
    rate.store(wanted);
    return true;
}

PulsePlayback::Stream::~Stream()
{
    if (pa_threaded_mainloop* loop = connection.loop()) {
        pa_threaded_mainloop_lock(loop);
        if (stream) {
            pa_stream_set_state_callback(stream, nullptr, nullptr);
            pa_stream_set_write_callback(stream, nullptr, nullptr);
            pa_stream_set_underflow_callback(stream, nullptr, nullptr);
            pa_stream_disconnect(stream);
            pa_stream_unref(stream);
        }
        if (wakeEvent)
            connection.api()->io_free(wakeEvent);
        pa_threaded_mainloop_unlock(loop);
    }
    if (wakeFd >= 0)
        close(wakeFd);
}

void PulsePlayback::Stream::followIdle()
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

void PulsePlayback::Stream::onState(pa_stream* stream, void* data)
{
    auto* self = static_cast<Stream*>(data);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if ((state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) && self->connection.fail())
        qCInfo(outputLog, "pulseaudio: the stream failed (%s)",
            pa_strerror(pa_context_errno(pa_stream_get_context(stream))));
    pa_threaded_mainloop_signal(self->connection.loop(), 0);
}

void PulsePlayback::Stream::onWrite(pa_stream* stream, size_t, void* data)
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

// The queue holds no more than the latest tlength written, all silent when
// at least that much was; dropped, the daemon asks for it again at once and
// rewinds over the silence it played meanwhile.
void PulsePlayback::Stream::dropQueuedSilence()
{
    if (!stream || pa_stream_get_state(stream) != PA_STREAM_READY)
        return;
    const pa_buffer_attr* attr = pa_stream_get_buffer_attr(stream);
    if (!attr || static_cast<size_t>(engine.renderer().silentFrames()) < attr->tlength / frameBytes)
        return;
    playingSince = Clock::now();
    if (pa_operation* done = pa_stream_flush(stream, nullptr, nullptr))
        pa_operation_unref(done);
}

// A stream that keeps running dry while the synth plays asks for a longer
// buffer, and gives it time to fill; one that ran dry once, or was only
// filling up after a start, a pause, an uncork or a dropped queue, does not.
void PulsePlayback::Stream::onUnderflow(pa_stream* stream, void* data)
{
    auto* self = static_cast<Stream*>(data);
    const auto now = Clock::now();
    if (self->corked || self->engine.renderer().idle() || now - self->playingSince < fillTime
        || self->latency >= longestLatency || !self->underflows.stalled(nanos(now)))
        return;
    self->latency = std::min(self->latency * 3 / 2, longestLatency);
    self->playingSince = now;
    settledLatency.store(self->latency);
    const pa_buffer_attr attr = bufferFor(self->latency, *pa_stream_get_sample_spec(stream));
    if (pa_operation* done = pa_stream_set_buffer_attr(stream, &attr, nullptr, nullptr))
        pa_operation_unref(done);
    qCInfo(outputLog, "pulseaudio: the stream keeps running dry; asking for %llu µs of buffer",
        static_cast<unsigned long long>(self->latency));
}

void PulsePlayback::Stream::onWake(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void* data)
{
    uint64_t knocks = 0;
    [[maybe_unused]] const auto read = ::read(fd, &knocks, sizeof knocks);
    auto* self = static_cast<Stream*>(data);
    if (self->struck.exchange(false))
        self->dropQueuedSilence();
    self->followIdle();
}
