#include "PulseAudioServer.h"

#include "AlsaConfig.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include <pulse/simple.h>

namespace {

const std::string root = TONVELO_PULSEAUDIO_ROOT;

std::string modules()
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(root + "/usr/lib", ec))
        if (entry.path().filename().string().rfind("pulse-", 0) == 0)
            return entry.path().string() + "/modules";
    return {};
}

} // namespace

bool PulseAudioServer::unpacked()
{
    return std::filesystem::exists(root + "/usr/bin/pulseaudio") && !modules().empty();
}

PulseAudioServer::PulseAudioServer(Sink sink)
    : sink_(sink == Sink::Null ? "tonvelo_null" : "tonvelo_card")
    , daemon_({ .args = { root + "/usr/bin/pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                    "--log-target=stderr", "-p", modules(), "-L",
                    sink == Sink::Null ? "module-null-sink sink_name=tonvelo_null"
                                       : "module-alsa-sink device=default sink_name=tonvelo_card tsched=0 "
                                         "fragments=4 fragment_size=352",
                    "-L", "module-native-protocol-unix socket=" + dir_.path() + "/native auth-anonymous=1" },
          .env = { "XDG_RUNTIME_DIR=" + dir_.path(), "HOME=" + dir_.path(), "PULSE_SERVER",
              "DBUS_SESSION_BUS_ADDRESS", "ALSA_CONFIG_PATH=" + dir_.path() + "/card.conf",
              "LD_LIBRARY_PATH=" + root + "/usr/lib/x86_64-linux-gnu/pulseaudio:" + modules() },
          .ready =
              [this] {
                  return runCommand({ "pactl", "info" }, std::chrono::seconds(5), environment()).exitCode
                      == 0;
              },
          .exports = { "PULSE_SERVER=unix:" + dir_.path() + "/native" } })
{
    std::ofstream(dir_.path() + "/card.conf") << cardAsDefault("/dev/null");
    if (unpacked() && !dir_.path().empty())
        daemon_.start();
}

std::vector<float> PulseAudioServer::recordNote(
    float loud, size_t frames, int rate, std::chrono::milliseconds timeout) const
{
    const pa_sample_spec spec { PA_SAMPLE_FLOAT32NE, static_cast<uint32_t>(rate), 1 };
    int error = 0;
    pa_simple* source = pa_simple_new(server().c_str(), "tonvelo-test", PA_STREAM_RECORD, monitor().c_str(),
        "monitor", &spec, nullptr, nullptr, &error);
    if (!source)
        return {};
    constexpr size_t dropout = 16;
    std::vector<float> note, chunk(static_cast<size_t>(rate / 100));
    size_t zeros = 0;
    for (auto left = rate * timeout.count() / 1000; left > 0 && note.size() < frames; left -= rate / 100) {
        if (pa_simple_read(source, chunk.data(), chunk.size() * sizeof(float), &error) < 0)
            break;
        for (const float sample : chunk) {
            if (note.empty() && std::fabs(sample) < loud)
                continue;
            note.push_back(sample);
            zeros = sample == 0 ? zeros + 1 : 0;
            if (zeros >= dropout)
                note.resize(note.size() - (zeros == dropout ? dropout : 1));
        }
    }
    pa_simple_free(source);
    note.resize(std::min(note.size(), frames));
    return note;
}
