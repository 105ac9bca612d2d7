#include "JackCapture.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include <jack/midiport.h>

JackCapture::JackCapture(const std::string& clientName, int portCount)
    : ring_(jack_ringbuffer_create(sizeof(Record) * 16384))
    , client_(clientName, JACK_DEFAULT_MIDI_TYPE, portCount)
{
    client_.activate(&JackCapture::process, this);
}

std::string JackCapture::portName(int port) const
{
    return client_.portName(port);
}

int JackCapture::process(jack_nframes_t frames, void* arg)
{
    auto* self = static_cast<JackCapture*>(arg);
    const auto now = std::chrono::steady_clock::now();
    const jack_nframes_t cycleStart = jack_last_frame_time(self->client_.get());
    for (size_t p = 0; p < self->client_.ports().size(); ++p) {
        void* buffer = jack_port_get_buffer(self->client_.ports()[p], frames);
        const uint32_t count = jack_midi_get_event_count(buffer);
        for (uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) != 0)
                continue;
            Record record { static_cast<int>(p), static_cast<uint32_t>(event.size), {},
                cycleStart + event.time, now };
            std::memcpy(record.bytes, event.buffer, std::min(event.size, sizeof record.bytes));
            if (jack_ringbuffer_write_space(self->ring_.get()) >= sizeof record)
                jack_ringbuffer_write(
                    self->ring_.get(), reinterpret_cast<const char*>(&record), sizeof record);
        }
    }
    return 0;
}

void JackCapture::drain() const
{
    Record record;
    while (jack_ringbuffer_read_space(ring_.get()) >= sizeof record) {
        jack_ringbuffer_read(ring_.get(), reinterpret_cast<char*>(&record), sizeof record);
        const size_t kept = std::min<size_t>(record.size, sizeof record.bytes);
        events_.push_back({ record.port, std::vector<uint8_t>(record.bytes, record.bytes + kept),
            record.frame, record.cycleTime });
    }
}

std::vector<JackCapture::Event> JackCapture::events() const
{
    std::lock_guard lock(mutex_);
    drain();
    return events_;
}

std::vector<std::vector<uint8_t>> JackCapture::bytes(int port) const
{
    std::vector<std::vector<uint8_t>> result;
    for (const auto& e : events())
        if (e.port == port)
            result.push_back(e.bytes);
    return result;
}

bool JackCapture::waitFor(size_t count, std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard lock(mutex_);
            drain();
            if (events_.size() >= count)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::lock_guard lock(mutex_);
    drain();
    return events_.size() >= count;
}
