#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>

#include "Subprocess.h"
#include "X11Client.h"
#include "XvfbServer.h"
#include "window/Form1.h"
#include "window/KeyGrid.h"

// The shipped program on a machine like a build server: a display of its
// own, but no sound card, no ALSA sequencer and no JACK server.

using namespace std::chrono_literals;

namespace {

// A private runtime folder, so that Qt has nothing to say about the
// environment, with an empty ALSA configuration in it.
class RuntimeDir {
public:
    RuntimeDir()
    {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/tonvelo-run-XXXXXX";
        if (mkdtemp(pattern.data()))
            path = pattern;
        std::ofstream(path + "/alsa.conf").flush();
    }
    ~RuntimeDir()
    {
        std::error_code ec;
        if (!path.empty())
            std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

Subprocess::Environment appEnvironment(const std::string& display, const RuntimeDir& runtime)
{
    return {
        { "DISPLAY", display.empty() ? std::nullopt : std::optional(display) },
        { "WAYLAND_DISPLAY", std::nullopt },
        { "QT_QPA_PLATFORM", std::nullopt },
        { "XDG_RUNTIME_DIR", runtime.path },
        // No sound reachable, even on a desktop: no JACK server of this name,
        // no PulseAudio there, and no ALSA device configured.
        { "JACK_DEFAULT_SERVER", "tonvelo-absent-" + std::to_string(getpid()) },
        { "PULSE_SERVER", "unix:" + runtime.path + "/no-pulse" },
        { "ALSA_CONFIG_PATH", runtime.path + "/alsa.conf" },
    };
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// The program's shown windows, as xdotool finds them by their class.
std::vector<X11Client::Window> shownWindows(const std::string& display)
{
    const auto out = runCommand(
        { "xdotool", "search", "--onlyvisible", "--class", "^Tonvelo$" }, { { "DISPLAY", display } });
    std::vector<X11Client::Window> windows;
    std::istringstream lines(out.value_or(""));
    for (std::string line; std::getline(lines, line);)
        if (!line.empty())
            windows.push_back(std::stoul(line));
    return windows;
}

// The failure message drawn here, in a box like the program's, and where its text lies.
std::pair<QImage, QRect> referenceMessage()
{
    QMessageBox box(QMessageBox::NoIcon, QString(), Form1::failedOpenMessage, QMessageBox::Ok);
    box.show();
    (void)QTest::qWaitForWindowExposed(&box);
    const auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!label)
        return {};
    return { box.grab().toImage().convertToFormat(QImage::Format_RGB32), label->geometry() };
}

// Pixels that differ clearly between two pictures within `area`, and the ink of the first.
std::pair<int, int> compare(const QImage& a, const QImage& b, const QRect& area)
{
    int differing = 0, ink = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            differing += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > 64;
            ink += qGray(a.pixel(x, y)) < 128;
        }
    return { differing, ink };
}

} // namespace

TEST(App, WithNoOutputTheMessageShowsBeforeTheWindowAndClosingEndsTheProgram)
{
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.running()) << "Xvfb did not start";
    X11Client x(xvfb.display());
    ASSERT_TRUE(x.ok());
    RuntimeDir runtime;
    Subprocess app({ TONVELO_BINARY }, appEnvironment(xvfb.display(), runtime));
    ASSERT_TRUE(app.started());

    // First the message box, alone on the screen: a modal dialog of the
    // keyboard window, which is not shown yet.
    std::vector<X11Client::Window> shown;
    ASSERT_TRUE(waitUntil([&] { return !(shown = shownWindows(xvfb.display())).empty() || !app.running(); }))
        << "nothing showed";
    ASSERT_EQ(shown.size(), 1u);
    const X11Client::Window box = shown[0];
    const auto boxInfo = x.info(box);
    EXPECT_TRUE(boxInfo.dialog);
    EXPECT_TRUE(boxInfo.modal);
    ASSERT_NE(boxInfo.transientFor, 0u);
    const X11Client::Window main = boxInfo.transientFor;
    EXPECT_EQ(x.info(main).name, "Tonvelo");
    EXPECT_FALSE(x.info(main).viewable);

    // It shows the message: its text looks as in such a box drawn here.
    QImage boxPicture;
    ASSERT_TRUE(waitUntil([&] { return !(boxPicture = x.grab(box)).isNull(); }));
    boxPicture.save(QApplication::applicationDirPath() + QStringLiteral("/app-message.png"));
    const auto [expected, text] = referenceMessage();
    ASSERT_FALSE(text.isEmpty());
    ASSERT_TRUE(boxPicture.rect().contains(text));
    const auto [differing, ink] = compare(boxPicture, expected, text);
    EXPECT_GT(ink, 100) << "no text in the box";
    EXPECT_LT(differing, ink / 20) << "the box says something else";

    // Dismissed, it gives way to the keyboard window.
    ASSERT_TRUE(runCommand(
        { "xdotool", "windowfocus", "--sync", std::to_string(box) }, { { "DISPLAY", xvfb.display() } }));
    ASSERT_TRUE(runCommand({ "xdotool", "key", "Return" }, { { "DISPLAY", xvfb.display() } }));
    ASSERT_TRUE(waitUntil([&] { return x.info(main).viewable; })) << "the window did not show";
    EXPECT_EQ(shownWindows(xvfb.display()), std::vector<X11Client::Window> { main });

    // The window is usable: it draws its keys.
    QImage window;
    ASSERT_TRUE(waitUntil([&] {
        window = x.grab(main);
        const QPoint key = keyGrid[0].rect.toPixels().bottomLeft() + QPoint(5, -5);
        return !window.isNull() && window.rect().contains(key) && (window.pixel(key) & 0xFFFFFF) == 0xFFFFFF;
    })) << "no white key drawn";
    window.save(QApplication::applicationDirPath() + QStringLiteral("/app-window.png"));

    x.close(main);
    const auto status = app.wait(10s);
    ASSERT_TRUE(status) << "the program went on after its window closed";
    EXPECT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    EXPECT_EQ(app.errors(), "");
}

TEST(App, WithoutADisplayTheProgramEndsWithAShortMessageAndNoCrash)
{
    RuntimeDir runtime;
    Subprocess app({ TONVELO_BINARY }, appEnvironment("", runtime));
    ASSERT_TRUE(app.started());
    const auto status = app.wait(20s);
    ASSERT_TRUE(status) << "the program hung without a display";
    ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
    EXPECT_NE(WEXITSTATUS(*status), 0);
    const std::string errors = app.errors();
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_LT(errors.size(), 120u) << errors;
}
