// Preloaded into the keyboard by the latency benchmark, to show where the
// time of a key press goes. It wraps the library calls where a press passes
// from one stage to the next and notes the moment in the shared marks file;
// a mark costs a clock read and two stores, nothing on the way blocks.

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "StageMarks.h"

struct xcb_connection_t;
struct jack_ringbuffer_t;
struct fluid_synth_t;
struct fluid_midi_event_t;

namespace {

StageMarks* marksFile()
{
    static StageMarks* marks = []() -> StageMarks* {
        const char* path = std::getenv(stageMarksVariable);
        const int fd = path ? open(path, O_RDWR) : -1;
        if (fd < 0)
            return nullptr;
        void* shared = mmap(nullptr, sizeof(StageMarks), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        close(fd);
        return shared == MAP_FAILED ? nullptr : static_cast<StageMarks*>(shared);
    }();
    return marks;
}

void mark(StageMarks::Stage stage)
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    StageMarks* marks = marksFile();
    if (!marks)
        return;
    const uint32_t slot = marks->count.fetch_add(1);
    if (slot >= StageMarks::capacity)
        return;
    marks->marks[slot].stage.store(stage, std::memory_order_relaxed);
    marks->marks[slot].nanos.store(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now).count(), std::memory_order_release);
}

template <typename Function> Function next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// The start of every X event: its type, less the bit of events sent by a client.
struct EventHead {
    uint8_t responseType;
};
constexpr uint8_t xKeyPress = 2;

EventHead* noteKeyPress(EventHead* event)
{
    if (event && (event->responseType & 0x7f) == xKeyPress)
        mark(StageMarks::keyPressRead);
    return event;
}

} // namespace

extern "C" {

// Qt's X event thread reads every event through these.
EventHead* xcb_wait_for_event(xcb_connection_t* c)
{
    static const auto real = next<EventHead* (*)(xcb_connection_t*)>("xcb_wait_for_event");
    return noteKeyPress(real(c));
}

EventHead* xcb_poll_for_event(xcb_connection_t* c)
{
    static const auto real = next<EventHead* (*)(xcb_connection_t*)>("xcb_poll_for_event");
    return noteKeyPress(real(c));
}

EventHead* xcb_poll_for_queued_event(xcb_connection_t* c)
{
    static const auto real = next<EventHead* (*)(xcb_connection_t*)>("xcb_poll_for_queued_event");
    return noteKeyPress(real(c));
}

// The program's JACK client writes each message into its ring in one piece;
// its process callback takes it in the next cycle.
size_t jack_ringbuffer_write(jack_ringbuffer_t* buffer, const char* data, size_t count)
{
    static const auto real
        = next<size_t (*)(jack_ringbuffer_t*, const char*, size_t)>("jack_ringbuffer_write");
    mark(StageMarks::noteHandedOver);
    return real(buffer, data, count);
}

// The built-in synth starts the voice, to sound from its next block.
int fluid_synth_handle_midi_event(fluid_synth_t* synth, fluid_midi_event_t* event)
{
    static const auto real
        = next<int (*)(fluid_synth_t*, fluid_midi_event_t*)>("fluid_synth_handle_midi_event");
    mark(StageMarks::noteHandedOver);
    return real(synth, event);
}

} // extern "C"
