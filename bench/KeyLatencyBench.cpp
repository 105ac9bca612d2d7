// Time from a key event reaching the keyboard window to its message being
// handed to the output, over 10,000 presses of the mapped keys.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include <QApplication>
#include <QKeyEvent>
#include <QWindow>

#include "RecordingOutput.h"
#include "midi/MidiPort.h"
#include "window/KeyMap.h"
#include "window/qt/QtForm.h"

namespace {

using Clock = std::chrono::steady_clock;

// The event the X11 platform delivers for a key of the map (US layout).
QKeyEvent eventFor(QEvent::Type type, const KeyBinding& binding)
{
    switch (binding.keyCode) {
    case vk::semicolon:
        return QKeyEvent(type, Qt::Key_Semicolon, {}, 47, 0, 0);
    case vk::comma:
        return QKeyEvent(type, Qt::Key_Comma, {}, 59, 0, 0);
    case vk::period:
        return QKeyEvent(type, Qt::Key_Period, {}, 60, 0, 0);
    case vk::slash:
        return QKeyEvent(type, Qt::Key_Slash, {}, 61, 0, 0);
    default:
        return QKeyEvent(type, binding.keyCode, {}, 0, 0, 0);
    }
}

double percentile(std::vector<double> samples, double p)
{
    const auto at = static_cast<size_t>(p * static_cast<double>(samples.size() - 1));
    std::nth_element(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(at), samples.end());
    return samples[at];
}

} // namespace

int main(int argc, char* argv[])
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);

    auto recording = std::make_shared<Recording>();
    recording->messages.reserve(4);
    MidiPort port(std::make_unique<RecordingProvider>(recording));
    QtForm form(port);
    form.form1().Form_Load();
    form.show();
    QCoreApplication::processEvents();
    QWindow* window = form.windowHandle();

    constexpr int warmUp = 500;
    constexpr int presses = 10000;
    std::vector<double> micros;
    micros.reserve(presses);
    for (int i = 0; i < warmUp + presses; ++i) {
        const KeyBinding& binding = KeyMap[static_cast<size_t>(i) % KeyMap.size()];
        QKeyEvent press = eventFor(QEvent::KeyPress, binding);
        QKeyEvent release = eventFor(QEvent::KeyRelease, binding);
        recording->clear();
        const auto start = Clock::now();
        QCoreApplication::sendEvent(window, &press);
        if (recording->messages.size() != 1) {
            std::fprintf(stderr, "key %d sent %zu messages\n", binding.keyCode, recording->messages.size());
            return 1;
        }
        const auto sent = recording->messages.front().time;
        QCoreApplication::sendEvent(window, &release);
        if (i >= warmUp)
            micros.push_back(std::chrono::duration<double, std::micro>(sent - start).count());
        // Lets the focus changes repaint now and then, as a running window would.
        if (i % 64 == 0)
            QCoreApplication::processEvents();
    }

    std::printf("| key event -> message (median) | %.1f us | <= 20 us |\n", percentile(micros, 0.5));
    std::printf("| key event -> message (p99) | %.1f us | <= 100 us |\n", percentile(micros, 0.99));
    return 0;
}
