#include "PulseAudioServer.h"

#include <filesystem>

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

PulseAudioServer::PulseAudioServer()
    : daemon_({ .args = { root + "/usr/bin/pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                    "--log-target=stderr", "-p", modules(), "-L", "module-null-sink sink_name=tonvelo_null",
                    "-L", "module-native-protocol-unix socket=" + dir_.path() + "/native auth-anonymous=1" },
          .env = { "XDG_RUNTIME_DIR=" + dir_.path(), "HOME=" + dir_.path(), "PULSE_SERVER",
              "DBUS_SESSION_BUS_ADDRESS",
              "LD_LIBRARY_PATH=" + root + "/usr/lib/x86_64-linux-gnu/pulseaudio:" + modules() },
          .ready =
              [this] {
                  return runCommand({ "pactl", "info" }, std::chrono::seconds(5), environment()).exitCode
                      == 0;
              },
          .exports = { "PULSE_SERVER=unix:" + dir_.path() + "/native" } })
{
    if (unpacked() && !dir_.path().empty())
        daemon_.start();
}

std::vector<float> PulseAudioServer::record(std::chrono::milliseconds span, int rate) const
{
    const pa_sample_spec spec { PA_SAMPLE_FLOAT32NE, static_cast<uint32_t>(rate), 1 };
    int error = 0;
    pa_simple* monitor = pa_simple_new(server().c_str(), "tonvelo-test", PA_STREAM_RECORD,
        "tonvelo_null.monitor", "monitor", &spec, nullptr, nullptr, &error);
    if (!monitor)
        return {};
    std::vector<float> samples(static_cast<size_t>(rate * span.count() / 1000));
    if (pa_simple_read(monitor, samples.data(), samples.size() * sizeof(float), &error) < 0)
        samples.clear();
    pa_simple_free(monitor);
    return samples;
}
