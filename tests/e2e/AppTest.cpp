#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <sstream>
#include <thread>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>

#include "Command.h"
#include "KeyPicture.h"
#include "PrivateRuntimeDir.h"
#include "ProgramOnX.h"
#include "WaitUntil.h"
#include "XWindows.h"
#include "XvfbServer.h"
#include "window/KeyGrid.h"
#include "window/qt/QtForm.h"

// The shipped program on a machine like a build server: a display of its
// own, but no sound card, no ALSA sequencer and no JACK server.

using namespace std::chrono_literals;

namespace {

Environment appEnvironment(const std::string& display, const PrivateRuntimeDir& runtime)
{
    return {
        display.empty() ? "DISPLAY" : "DISPLAY=" + display,
        // Qt picks its usual platform, not the tests' offscreen one.
        "QT_QPA_PLATFORM",
        "WAYLAND_DISPLAY",
        "XDG_RUNTIME_DIR=" + runtime.path(),
        // An empty HOME made libpulse complain on stderr.
        "HOME=",
        // No sound reachable, even on a desktop: no JACK server of this name,
        // no PulseAudio there, and no ALSA device configured.
        "JACK_DEFAULT_SERVER=tonvelo-absent-" + std::to_string(getpid()),
        "PULSE_SERVER=unix:" + runtime.path() + "/no-pulse",
        "ALSA_CONFIG_PATH=/dev/null",
    };
}

// The program's shown windows, as xdotool finds them.
std::vector<unsigned long> shownWindows(const std::string& display, pid_t pid)
{
    const auto found = runCommand({ "xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid) },
        std::chrono::seconds(10), { "DISPLAY=" + display });
    std::vector<unsigned long> windows;
    std::istringstream ids(found.output);
    for (unsigned long id = 0; ids >> id;)
        windows.push_back(id);
    return windows;
}

bool xdotool(const std::string& display, const std::vector<std::string>& args)
{
    std::vector<std::string> command { "xdotool" };
    command.insert(command.end(), args.begin(), args.end());
    return runCommand(command, std::chrono::seconds(10), { "DISPLAY=" + display }).exitCode == 0;
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
    const std::string& display = xvfb.display();
    PrivateRuntimeDir runtime;
    RunningProgram app({ TONVELO_PROGRAM }, appEnvironment(display, runtime));
    ASSERT_GT(app.pid(), 0);

    // First the message box, alone on the screen: a modal dialog of the
    // keyboard window, which is not shown yet.
    std::vector<unsigned long> shown;
    ASSERT_TRUE(waitUntil([&] {
        return !(shown = shownWindows(display, app.pid())).empty() || !app.running();
    })) << "nothing showed";
    ASSERT_EQ(shown.size(), 1u) << app.output();
    const unsigned long box = shown[0];
    const unsigned long main = xwindows::transientFor(display, box);
    ASSERT_NE(main, 0u) << "the first window is not the message box";
    EXPECT_TRUE(xwindows::isModal(display, box));
    EXPECT_TRUE(xwindows::grab(display, main).isNull()) << "the keyboard window shows already";

    // It shows the message: its text looks as in such a box drawn here.
    QImage boxPicture;
    ASSERT_TRUE(waitUntil([&] { return !(boxPicture = xwindows::grab(display, box)).isNull(); }));
    boxPicture.save(QApplication::applicationDirPath() + QStringLiteral("/app-message.png"));
    const auto [expected, text] = referenceMessage();
    ASSERT_FALSE(text.isEmpty());
    ASSERT_TRUE(boxPicture.rect().contains(text));
    const auto [differing, ink] = compare(boxPicture, expected, text);
    EXPECT_GT(ink, 100) << "no text in the box";
    EXPECT_LT(differing, ink / 20) << "the box says something else";

    // Dismissed, it gives way to the keyboard window.
    ASSERT_TRUE(xdotool(display, { "windowfocus", "--sync", std::to_string(box) }));
    ASSERT_TRUE(xdotool(display, { "key", "Return" }));
    ASSERT_TRUE(waitUntil([&] { return (shown = shownWindows(display, app.pid())) == std::vector { main }; }))
        << "the window did not show alone: " << shown.size() << " shown, the box "
        << (std::find(shown.begin(), shown.end(), box) != shown.end() ? "still there" : "gone")
        << ", the window "
        << (std::find(shown.begin(), shown.end(), main) != shown.end() ? "shown" : "not shown");

    // The window is usable: it draws its keys.
    QImage window;
    ASSERT_TRUE(waitUntil([&] {
        window = xwindows::grab(display, main);
        const QRect key0 = toPixels(keyGrid[0].rect).translated(clientOrigin(window, 1));
        const QPoint face = key0.bottomLeft() + QPoint(5, -5);
        return !window.isNull() && window.rect().contains(face)
            && (window.pixel(face) & 0xFFFFFF) == 0xFFFFFF;
    })) << "no white key drawn";
    window.save(QApplication::applicationDirPath() + QStringLiteral("/app-window.png"));

    xwindows::close(display, main);
    const auto status = app.wait(10s);
    ASSERT_TRUE(status) << "the program went on after its window closed";
    EXPECT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    EXPECT_EQ(app.output(), "");
}

TEST(App, OnAScreenTooSmallForItTheWholeWindowFitsAtASmallerScale)
{
    // A 1280x720 laptop screen under a top bar.
    XvfbServer xvfb("1280x688x24");
    ASSERT_TRUE(xvfb.running()) << "Xvfb did not start";
    PrivateRuntimeDir runtime;
    ProgramOnX program(TONVELO_PROGRAM, xvfb.display(), { "XDG_RUNTIME_DIR=" + runtime.path() });
    const unsigned long window = program.waitForMainWindow(60s);
    ASSERT_NE(window, 0u) << "the keyboard window did not show";
    const QRect placed = xwindows::geometry(xvfb.display(), window);
    EXPECT_TRUE(QRect(0, 0, 1280, 688).contains(placed)) << placed.y() << " " << placed.height();
    EXPECT_LT(placed.width(), toPixels(controls::client).width());
}

TEST(App, ClosingTheWindowDuringTheDemoEndsTheProgramAtOnce)
{
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.running()) << "Xvfb did not start";
    PrivateRuntimeDir runtime;
    ProgramOnX program(TONVELO_PROGRAM, xvfb.display(), { "XDG_RUNTIME_DIR=" + runtime.path() });
    const unsigned long window = program.waitForMainWindow(60s);
    ASSERT_NE(window, 0u) << "the keyboard window did not show";
    const QImage picture = program.settledPicture(window, 30s);
    const QPoint button = xwindows::geometry(xvfb.display(), window).topLeft() + clientOrigin(picture, 1)
        + toPixels(TwipsRect { 1920, 9120, 2535, 735 }).center();
    ASSERT_TRUE(xdotool(xvfb.display(),
        { "mousemove", "--sync", std::to_string(button.x()), std::to_string(button.y()), "click", "1" }));
    std::this_thread::sleep_for(3s);

    xwindows::close(xvfb.display(), window);
    const auto closed = std::chrono::steady_clock::now();
    ASSERT_TRUE(program.process().wait(10s)) << "the program went on after its window closed";
    EXPECT_LT(std::chrono::steady_clock::now() - closed, 1s);
}

TEST(App, WithoutADisplayTheProgramSaysSoFirstThenWhyAndDoesNotCrash)
{
    PrivateRuntimeDir runtime;
    RunningProgram app({ TONVELO_PROGRAM }, appEnvironment("", runtime));
    ASSERT_GT(app.pid(), 0);
    const auto status = app.wait(20s);
    ASSERT_TRUE(status) << "the program hung without a display";
    ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
    EXPECT_NE(WEXITSTATUS(*status), 0);
    const std::string errors = app.output();
    const std::string ours = "tonvelo: no display to show the window on\n";
    EXPECT_EQ(errors.substr(0, ours.size()), ours) << errors;
    EXPECT_NE(errors.find("platform plugin", ours.size()), std::string::npos)
        << "Qt's own reason follows" << errors;
}

// Threads that keep every core busy while they live.
class BusyCores {
public:
    explicit BusyCores(int cores)
    {
        for (int core = 0; core < cores; ++core)
            threads_.emplace_back([this] {
                while (busy_.load(std::memory_order_relaxed)) { }
            });
    }
    ~BusyCores() { busy_ = false; }

private:
    std::atomic<bool> busy_ { true };
    std::vector<std::jthread> threads_;
};

TEST(App, OnABusyMachineQtRunsOnTheProgramsFirstThread)
{
    // With no server to answer, the synth's and the port list's threads log
    // at once; with the cores busy, they sometimes did so before the first
    // thread built the application, and Qt then took one of them for its
    // main thread: the window could fail to show. No window is needed to see it.
    const BusyCores load(2);
    PrivateRuntimeDir runtime;
    Environment env = appEnvironment("", runtime);
    env.push_back("QT_QPA_PLATFORM=offscreen");
    for (int start = 0; start < 20; ++start) {
        RunningProgram app({ "nice", "-n", "10", TONVELO_PROGRAM }, env);
        std::this_thread::sleep_for(400ms);
        const std::string output = app.output();
        ASSERT_EQ(output.find("not created in the main() thread"), std::string::npos)
            << "start " << start << ": " << output;
    }
}
