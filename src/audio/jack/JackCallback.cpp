#include "audio/jack/JackCallback.h"

#include <cstring>
#include <filesystem>
#include <initializer_list>

#include <jack/midiport.h>

#include "audio/RenderGate.h"
#include "log/OutputLog.h"

namespace {

// Far more messages than a cycle ever carries.
constexpr size_t ringBytes = 1 << 14;

// A short message as it waits in the ring: fixed size, so that the process
// callback takes whole ones without locking.
struct Queued {
    uint8_t size;
    uint8_t bytes[3];
};

} // namespace

JackCallback::JackCallback(jack_client_t* client, std::string wakeFile)
    : client_(client)
    , wakeFile_(std::move(wakeFile))
    , ring_(jack_ringbuffer_create(ringBytes))
{
}

// The loss closes both doors after it marks the client lost: of an open and
// a loss at once, one sees the other.
void JackCallback::openUnlessLost(Door& door)
{
    door.open();
    if (lost())
        door.close();
}

bool JackCallback::addAudio(RenderGate& gate)
{
    if (lost() || gate_)
        return false;
    left_ = jack_port_register(client_, "left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    right_ = jack_port_register(client_, "right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    gate_ = &gate;
    if (!left_ || !right_) {
        dropAudio();
        return false;
    }
    openUnlessLost(audio_);
    // As JACK's own clients do: to the machine's first two playback ports.
    const char** playback
        = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput);
    for (int i = 0; playback && i < 2 && playback[i]; ++i)
        jack_connect(client_, jack_port_name(i == 0 ? left_ : right_), playback[i]);
    jack_free(playback);
    return true;
}

// The ports are disconnected before the door closes, so that nothing reads
// what the last cycle left in their buffers. A lost client's stay as they are.
void JackCallback::dropAudio()
{
    for (jack_port_t* port : { left_, right_ })
        if (port && !lost())
            jack_port_disconnect(client_, port);
    audio_.close();
    for (jack_port_t* port : { left_, right_ })
        if (port && !lost())
            jack_port_unregister(client_, port);
    left_ = right_ = nullptr;
    gate_ = nullptr;
}

bool JackCallback::addMidi(const std::string& target)
{
    if (lost() || midiOut_)
        return false;
    midiOut_ = jack_port_register(client_, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (!midiOut_)
        return false;
    {
        // The door is closed, so the process thread does not read it.
        std::lock_guard lock(sending_);
        jack_ringbuffer_reset(ring_.get());
    }
    openUnlessLost(midi_);
    if (jack_connect(client_, jack_port_name(midiOut_), target.c_str()) == 0)
        return true;
    dropMidi();
    return false;
}

bool JackCallback::midiConnected() const
{
    return midiOut_ && !lost() && jack_port_connected(midiOut_) > 0;
}

void JackCallback::dropMidi()
{
    if (midiOut_ && !lost())
        jack_port_disconnect(client_, midiOut_);
    midi_.close();
    if (midiOut_ && !lost())
        jack_port_unregister(client_, midiOut_);
    midiOut_ = nullptr;
}

bool JackCallback::send(const uint8_t* bytes, size_t size)
{
    Queued message { static_cast<uint8_t>(size), {} };
    if (size == 0 || size > sizeof message.bytes || lost() || !midi_.isOpen())
        return false;
    std::memcpy(message.bytes, bytes, size);
    std::lock_guard lock(sending_);
    if (jack_ringbuffer_write_space(ring_.get()) < sizeof message)
        return false;
    jack_ringbuffer_write(ring_.get(), reinterpret_cast<const char*>(&message), sizeof message);
    return true;
}

int JackCallback::process(jack_nframes_t frames, void* data)
{
    auto* self = static_cast<JackCallback*>(data);
    if (self->audio_.enter()) {
        self->gate_->render(static_cast<float*>(jack_port_get_buffer(self->left_, frames)),
            static_cast<float*>(jack_port_get_buffer(self->right_, frames)), static_cast<int>(frames), 1);
        self->audio_.leave();
    }
    if (self->midi_.enter()) {
        void* buffer = jack_port_get_buffer(self->midiOut_, frames);
        jack_midi_clear_buffer(buffer);
        jack_ringbuffer_t* ring = self->ring_.get();
        Queued message;
        // What does not fit this cycle waits, in order, for the next.
        while (jack_ringbuffer_peek(ring, reinterpret_cast<char*>(&message), sizeof message) == sizeof message
            && jack_midi_event_write(buffer, 0, message.bytes, message.size) == 0)
            jack_ringbuffer_read_advance(ring, sizeof message);
        self->midi_.leave();
    }
    return 0;
}

// Shuts the process callback out before libjack may free the client, and
// removes the wake-up file at once: a server started again under the same
// name would take it up in whatever state the dead one left it, and never
// wake the next client.
void JackCallback::shutDown(jack_status_t, const char* reason, void* data)
{
    auto* self = static_cast<JackCallback*>(data);
    self->lost_.store(true);
    self->audio_.close();
    self->midi_.close();
    std::error_code ec;
    if (!self->wakeFile_.empty())
        std::filesystem::remove(self->wakeFile_, ec);
    qCInfo(outputLog, "jack: the server let the client go%s%s", reason && *reason ? ": " : "",
        reason ? reason : "");
}
