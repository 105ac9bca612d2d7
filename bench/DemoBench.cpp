// Plays the demo tune into a JACK MIDI client on a private server with a
// 32-frame period and compares each message's time with its ideal time: the
// click plus the pauses before it. Prints table rows for bench/run.sh.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include <QApplication>

#include "FormFixture.h"
#include "JackCapture.h"
#include "JackServer.h"
#include "SystemOutputs.h"
#include "demo/DemoTune.h"
#include "log/SoundEnvironment.h"
#include "window/qt/Fonts.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int periodFrames = 32;

// Passes every value on to the real output, noting when it was handed over.
class StampingOutput : public MidiOutput {
public:
    StampingOutput(std::unique_ptr<MidiOutput> inner, std::vector<Clock::time_point>& stamps)
        : inner_(std::move(inner))
        , stamps_(stamps)
    {
    }

    int send(uint32_t value) override
    {
        stamps_.push_back(Clock::now());
        return inner_->send(value);
    }

private:
    std::unique_ptr<MidiOutput> inner_;
    std::vector<Clock::time_point>& stamps_;
};

class StampingProvider : public OutputProvider {
public:
    StampingProvider(std::unique_ptr<OutputProvider> inner, std::vector<Clock::time_point>& stamps)
        : inner_(std::move(inner))
        , stamps_(stamps)
    {
    }

    std::vector<std::string> deviceNames() override { return inner_->deviceNames(); }

    std::unique_ptr<MidiOutput> open(int deviceId) override
    {
        auto output = inner_->open(deviceId);
        return output ? std::make_unique<StampingOutput>(std::move(output), stamps_) : nullptr;
    }

private:
    std::unique_ptr<OutputProvider> inner_;
    std::vector<Clock::time_point>& stamps_;
};

struct Deviation {
    double largest = 0; // ms, either way
    double median = 0; // ms, either way
    double last = 0; // ms, at the last step
    int beyondGoal = 0; // steps more than 1 ms off
};

Deviation compare(const std::vector<Clock::time_point>& times, Clock::time_point click)
{
    Deviation result;
    std::vector<double> sizes;
    auto ideal = click;
    for (size_t i = 0; i < times.size(); ++i) {
        const double ms = std::chrono::duration<double, std::milli>(times[i] - ideal).count();
        sizes.push_back(std::abs(ms));
        result.last = ms;
        result.beyondGoal += std::abs(ms) > 1.0 ? 1 : 0;
        ideal += std::chrono::milliseconds(DemoTune[i].pause);
    }
    std::sort(sizes.begin(), sizes.end());
    result.largest = sizes.back();
    result.median = sizes[sizes.size() / 2];
    return result;
}

int fail(const char* why)
{
    std::fprintf(stderr, "demo_bench: %s\n", why);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    prepareSoundEnvironment();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    registerFontSubstitutes();

    JackServer server(periodFrames, 48000, JackServer::Mode::Synchronous);
    if (!server.running())
        return fail("jackd did not start");
    JackCapture capture("capture");
    if (!capture.ok())
        return fail("no JACK capture client");

    std::vector<Clock::time_point> sent;
    sent.reserve(DemoTune.size());
    MessageBoxWatcher boxes;
    MidiPort port(std::make_unique<StampingProvider>(std::make_unique<SystemOutputs>(), sent));
    QtForm form(port);
    form.show();
    int device = -1;
    for (int i = 0; i < port.deviceCount(); ++i)
        if (port.deviceName(i) == capture.portName())
            device = i;
    if (device < 0)
        return fail("capture port not listed");
    form.form1().SelectDevice(device);
    form.form1().channel = 0;
    form.form1().velocity = 127;
    if (!port.isOpen())
        return fail("capture port did not open");

    const auto click = Clock::now();
    form.Command2()->click();

    if (!capture.waitFor(DemoTune.size()) || sent.size() != DemoTune.size())
        return fail("not every message arrived");
    std::vector<Clock::time_point> arrived;
    for (const auto& event : capture.events())
        arrived.push_back(event.cycleTime);

    const Deviation atPort = compare(arrived, click);
    const Deviation inProcess = compare(sent, click);
    std::printf("| demo: largest step deviation | %.2f ms | <= 1 ms |\n", atPort.largest);
    std::printf("| demo: median step deviation | %.2f ms | <= 1 ms |\n", atPort.median);
    std::printf("| demo: drift at step %zu | %.2f ms | <= 1 ms |\n", DemoTune.size(), atPort.last);
    std::printf("| demo: steps more than 1 ms off | %d of %zu | 0 |\n", atPort.beyondGoal, DemoTune.size());
    std::printf(
        "| demo: largest step deviation, sent (in process) | %.2f ms | <= 1 ms |\n", inProcess.largest);
    std::printf("| demo: median step deviation, sent (in process) | %.2f ms | <= 1 ms |\n", inProcess.median);
    std::printf("| demo: drift at step %zu, sent (in process) | %.2f ms | <= 1 ms |\n", DemoTune.size(),
        inProcess.last);
    return 0;
}
