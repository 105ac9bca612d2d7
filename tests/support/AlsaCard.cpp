// A sound card made in user space, an ALSA plugin: it plays 2-channel 16-bit
// sound at one rate only (`rate`, 44100 unless set), in real time, and adds
// what it played to the raw file `file`. With `stops` set, its clock stands
// still that many milliseconds after it started, as a server's plugin does
// once its server died: a write then waits for ever.
#include <fcntl.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>

namespace {

struct Card {
    snd_pcm_ioplug_t io {};
    int file = -1;
    // Wakes a blocked write each millisecond, as a card's interrupt would.
    int tick = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    std::chrono::steady_clock::time_point started;
    std::chrono::milliseconds stops { 0 };
};

Card& card(snd_pcm_ioplug_t* io)
{
    return *static_cast<Card*>(io->private_data);
}

int tickEvery(snd_pcm_ioplug_t* io, long nanoseconds)
{
    const itimerspec every { { 0, nanoseconds }, { 0, nanoseconds } };
    return timerfd_settime(card(io).tick, 0, &every, nullptr);
}

// Each runs on the thread that called alsa-lib, the one that plays. Set
// one by one: GCC 12 warns of each member a designated initializer leaves out.
const snd_pcm_ioplug_callback_t callbacks = [] {
    snd_pcm_ioplug_callback_t c {};
    c.start = [](snd_pcm_ioplug_t* io) {
        card(io).started = std::chrono::steady_clock::now();
        return tickEvery(io, 1000000);
    };
    c.stop = [](snd_pcm_ioplug_t* io) { return tickEvery(io, 0); };
    // Where the clock has played to; past what was written is an underrun.
    c.pointer = [](snd_pcm_ioplug_t* io) -> snd_pcm_sframes_t {
        std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - card(io).started;
        if (card(io).stops.count() > 0)
            elapsed = std::min<std::chrono::duration<double>>(elapsed, card(io).stops);
        const auto played
            = io->state == SND_PCM_STATE_RUNNING ? snd_pcm_uframes_t(elapsed.count() * io->rate) : 0;
        return played > io->appl_ptr ? -EPIPE : snd_pcm_sframes_t(played % io->buffer_size);
    };
    c.transfer = [](snd_pcm_ioplug_t* io, const snd_pcm_channel_area_t* areas, snd_pcm_uframes_t offset,
                     snd_pcm_uframes_t frames) -> snd_pcm_sframes_t {
        const auto bytes = ssize_t(frames * areas->step / 8);
        const char* first = static_cast<char*>(areas->addr) + offset * areas->step / 8;
        return write(card(io).file, first, bytes) == bytes ? snd_pcm_sframes_t(frames) : -EIO;
    };
    c.close = [](snd_pcm_ioplug_t* io) {
        close(card(io).file);
        close(card(io).tick);
        delete &card(io);
        return 0;
    };
    // Writable, as a card's interrupt says, once a period is free.
    c.poll_revents = [](snd_pcm_ioplug_t* io, pollfd*, unsigned, unsigned short* revents) {
        uint64_t ticks = 0;
        const auto free = read(card(io).tick, &ticks, sizeof ticks) > 0 ? snd_pcm_avail_update(io->pcm) : 0;
        *revents = free < 0 ? POLLERR : free >= snd_pcm_sframes_t(io->period_size) ? POLLOUT : 0;
        return 0;
    };
    return c;
}();

} // namespace

extern "C" {

SND_PCM_PLUGIN_DEFINE_FUNC(tonvelo_card)
{
    static_cast<void>(root); // it opens no other device
    snd_config_t* field = nullptr;
    const char* path = nullptr;
    long rate = 44100, stops = 0;
    if (snd_config_search(conf, "rate", &field) == 0)
        snd_config_get_integer(field, &rate);
    if (snd_config_search(conf, "stops", &field) == 0)
        snd_config_get_integer(field, &stops);
    if (snd_config_search(conf, "file", &field) < 0 || snd_config_get_string(field, &path) < 0
        || stream != SND_PCM_STREAM_PLAYBACK)
        return -EINVAL;
    auto* card = new Card;
    card->file = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    card->stops = std::chrono::milliseconds(stops);
    card->io.version = SND_PCM_IOPLUG_VERSION;
    card->io.name = "Tonvelo's test card";
    card->io.poll_fd = card->tick;
    card->io.poll_events = POLLIN;
    card->io.callback = &callbacks;
    card->io.private_data = card;
    if (const int failed = snd_pcm_ioplug_create(&card->io, name, stream, mode); failed < 0) {
        callbacks.close(&card->io);
        return failed;
    }
    const unsigned access = SND_PCM_ACCESS_RW_INTERLEAVED, format = SND_PCM_FORMAT_S16_LE;
    snd_pcm_ioplug_set_param_list(&card->io, SND_PCM_IOPLUG_HW_ACCESS, 1, &access);
    snd_pcm_ioplug_set_param_list(&card->io, SND_PCM_IOPLUG_HW_FORMAT, 1, &format);
    snd_pcm_ioplug_set_param_minmax(&card->io, SND_PCM_IOPLUG_HW_CHANNELS, 2, 2);
    snd_pcm_ioplug_set_param_minmax(&card->io, SND_PCM_IOPLUG_HW_RATE, unsigned(rate), unsigned(rate));
    snd_pcm_ioplug_set_param_minmax(&card->io, SND_PCM_IOPLUG_HW_PERIODS, 2, 64);
    *pcmp = card->io.pcm;
    return 0;
}
SND_PCM_PLUGIN_SYMBOL(tonvelo_card);
}
