#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "Desktop.h"
#include "JackCapture.h"
#include "JackServer.h"
#include "PipeWireServer.h"
#include "PrivateRuntimeDir.h"
#include "ProgramOnX.h"
#include "SoundOnset.h"
#include "WaitUntil.h"
#include "XWindows.h"
#include "XvfbServer.h"

// The shipped program on sound servers that freeze, hang, quit or start
// late: the window always shows, closing never waits, and the synth plays
// wherever a server answers.

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// A socket that takes connections and never says a word, as a hung server's does.
class SilentSocket {
public:
    explicit SilentSocket(const std::string& path)
        : path_(path)
    {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof(address.sun_path) - 1);
        fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
        if (bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(fd_, 16) != 0)
            ADD_FAILURE() << "no socket at " << path;
    }
    ~SilentSocket()
    {
        close(fd_);
        unlink(path_.c_str());
    }

private:
    std::string path_;
    int fd_ = -1;
};

// The program with every sound server out of reach but those `env` names.
struct Program {
    Program(const XvfbServer& x, const Environment& env)
        : start(Clock::now())
        , run(TONVELO_PROGRAM, x.display(), withDefaults(env))
    {
    }
    static Environment withDefaults(const Environment& env)
    {
        static const PrivateRuntimeDir runtime;
        Environment all { "XDG_RUNTIME_DIR=" + runtime.path(),
            "HOME=", "JACK_DEFAULT_SERVER=tonvelo-absent-" + std::to_string(getpid()), "LD_LIBRARY_PATH",
            "PIPEWIRE_RUNTIME_DIR=" + runtime.path(), "PULSE_SERVER=unix:" + runtime.path() + "/no-pulse",
            "ALSA_CONFIG_PATH=/dev/null" };
        all.insert(all.end(), env.begin(), env.end());
        return all;
    }
    // The main window, and how long after the start it showed.
    std::pair<unsigned long, Clock::duration> window()
    {
        const unsigned long id = run.waitForMainWindow(60s);
        return { id, Clock::now() - start };
    }
    // Asks the window to close; how long the program took to end, and whether it ended well.
    std::pair<Clock::duration, bool> close(unsigned long window)
    {
        const auto asked = Clock::now();
        xwindows::close(run.display(), window);
        const auto status = run.process().wait(10s);
        return { Clock::now() - asked, status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0 };
    }
    std::string log() { return run.process().output(); }

    Clock::time_point start;
    ProgramOnX run;
};

// Whether holding a computer key sounds at the synth's JACK ports within a second.
bool keySounds(ProgramOnX& program, unsigned long window)
{
    SoundOnset listener("listener");
    if (!listener.listenTo("^Tonvelo:", 1s))
        return false;
    listener.arm(0.01f);
    const Environment env { "DISPLAY=" + program.display() };
    runCommand({ "xdotool", "windowfocus", "--sync", std::to_string(window), "keydown", "q" }, 10s, env);
    const bool sounded = listener.waitForOnset(1s).has_value();
    runCommand({ "xdotool", "keyup", "q" }, 10s, env);
    return sounded;
}

} // namespace

TEST(Stalls, AFrozenJackServerKeepsTheOneClientAndNeitherStartNorCloseWaitsForIt)
{
    JackServer jack;
    ASSERT_TRUE(jack.running()) << "jackd did not start";
    JackCapture capture("capture");
    ASSERT_TRUE(capture.ok());
    XvfbServer x;
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    const Environment onJack { "JACK_DEFAULT_SERVER=" + jack.name() };
    {
        Program program(x, onJack);
        const auto [window, shown] = program.window();
        ASSERT_NE(window, 0u) << program.log();
        ASSERT_TRUE(keySounds(program.run, window)) << program.log();

        // Frozen for 1.5 s while a key is held: a stall, not a death.
        const Environment env { "DISPLAY=" + x.display() };
        runCommand({ "xdotool", "keydown", "w" }, 10s, env);
        jack.freeze();
        std::this_thread::sleep_for(1500ms);
        jack.thaw();
        runCommand({ "xdotool", "keyup", "w" }, 10s, env);
        std::this_thread::sleep_for(1s);
        SoundOnset lister("lister");
        EXPECT_EQ(audioOutputs(lister.client(), "^Tonvelo").size(), 2u) << "not one client\n"
                                                                        << program.log();
        EXPECT_TRUE(keySounds(program.run, window)) << "silent after the stall\n" << program.log();

        // The capture's port chosen (listed alone: no ALSA here), then the MIDI
        // Mapper on a frozen server: the window answers; thawed, the synth alone plays.
        Desktop desktop(program.run, window);
        ASSERT_TRUE(desktop.chooseDevice(1, 2));
        ASSERT_TRUE(desktop.tap("q") && capture.waitFor(2)) << program.log();
        // (No ASSERT while frozen: the capture's close would wait for the server.)
        jack.freeze();
        EXPECT_TRUE(desktop.chooseDevice(0, 2)) << program.log();
        // No server answers the synth meanwhile: its message shows, and is answered.
        EXPECT_TRUE(desktop.answerBox()) << program.log();
        EXPECT_TRUE(desktop.clickFirstTitle());
        EXPECT_NE(desktop.openMenu(), 0u) << "no menu opened on a frozen server\n" << program.log();
        desktop.xdotool({ "key", "Escape" });
        EXPECT_TRUE(desktop.menuClosed());
        jack.thaw();
        // Only note-ons count: a note that began there may still end there.
        const auto struck = [&] {
            const auto all = capture.bytes();
            return std::count_if(all.begin(), all.end(), [](const auto& b) { return b[0] == 0x90 && b[2]; });
        };
        const auto arrived = static_cast<size_t>(struck());
        EXPECT_TRUE(waitUntil([&] { return keySounds(program.run, window); }, 5s)) << program.log();
        EXPECT_EQ(static_cast<size_t>(struck()), arrived) << "notes still go to the port let go";

        // The port chosen again on a frozen server: it connects once thawed.
        jack.freeze();
        EXPECT_TRUE(desktop.chooseDevice(1, 2) && desktop.answerBox()) << program.log();
        jack.thaw();
        jack_port_t* in = jack_port_by_name(capture.client(), capture.portName().c_str());
        EXPECT_TRUE(waitUntil([&] { return jack_port_connected(in) > 0; }, 5s)) << program.log();
        const size_t before = capture.events().size();
        ASSERT_TRUE(desktop.tap("q") && capture.waitFor(before + 2)) << program.log();

        // Closing on a frozen server, the JACK port chosen.
        jack.freeze();
        const auto [took, clean] = program.close(window);
        jack.thaw();
        // A hang would be seconds; the rest is the program's exit, which the
        // sanitizers' leak check lengthens.
        EXPECT_LE(took, 1s) << "to close on a frozen server\n" << program.log();
        EXPECT_TRUE(clean) << program.log();
    }
    {
        // Frozen before the program starts: the message, then the window.
        jack.freeze();
        Program program(x, onJack);
        const auto [window, shown] = program.window();
        jack.thaw();
        ASSERT_NE(window, 0u) << program.log();
        EXPECT_LE(shown, 2s) << "to show\n" << program.log();
        EXPECT_EQ(program.run.boxesAnswered(), 1);
        // Thawed, the server takes the synth.
        EXPECT_TRUE(waitUntil([&] { return keySounds(program.run, window); }, 3s)) << program.log();
        jack.freeze(); // closing on a frozen server, the synth chosen
        const auto [took, clean] = program.close(window);
        jack.thaw();
        EXPECT_TRUE(took <= 1s && clean) << "to close on a frozen server\n" << program.log();
    }
}

TEST(Stalls, ServersThatAnswerNothingDoNotHoldTheWindowBack)
{
    XvfbServer x;
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    const PrivateRuntimeDir hung;
    const SilentSocket pipewire(hung.path() + "/pipewire-0");
    const SilentSocket pulse(hung.path() + "/pulse");
    Program program(
        x, { "PIPEWIRE_RUNTIME_DIR=" + hung.path(), "PULSE_SERVER=unix:" + hung.path() + "/pulse" });
    const auto [window, shown] = program.window();
    ASSERT_NE(window, 0u) << program.log();
    EXPECT_LE(shown, 2s) << "to show\n" << program.log();
    EXPECT_EQ(program.run.boxesAnswered(), 1);
    const auto [took, clean] = program.close(window);
    EXPECT_LE(took, 1s) << "to close\n" << program.log();
    EXPECT_TRUE(clean) << program.log();
}

TEST(Stalls, TheSynthFollowsServersThatStartLateOrQuitAndKnowsPipeWireUnderJacksName)
{
    PipeWireServer pipewire;
    ASSERT_TRUE(pipewire.running()) << "PipeWire did not start";
    XvfbServer x;
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    {
        // Started before the server, as at login.
        pipewire.kill();
        Program program(x, pipewire.environment());
        const auto [window, shown] = program.window();
        ASSERT_NE(window, 0u) << program.log();
        EXPECT_EQ(program.run.boxesAnswered(), 1);
        ASSERT_TRUE(pipewire.restart()) << "PipeWire did not start again";
        EXPECT_TRUE(waitUntil([&] { return !pipewire.node("Tonvelo").isEmpty(); }, 2s)) << program.log();
        EXPECT_TRUE(program.close(window).second) << program.log();
    }
    {
        // JACK quits: PipeWire takes over.
        JackServer jack;
        ASSERT_TRUE(jack.running()) << "jackd did not start";
        Environment env = pipewire.environment();
        env.push_back("JACK_DEFAULT_SERVER=" + jack.name());
        Program program(x, env);
        const auto [window, shown] = program.window();
        ASSERT_NE(window, 0u) << program.log();
        ASSERT_TRUE(keySounds(program.run, window)) << program.log();
        EXPECT_TRUE(pipewire.node("Tonvelo").isEmpty()) << "on PipeWire beside JACK";
        jack.kill();
        EXPECT_TRUE(waitUntil([&] { return !pipewire.node("Tonvelo").isEmpty(); }, 2s)) << program.log();
        EXPECT_TRUE(program.close(window).second) << program.log();
    }
    {
        // JACK frozen from the start: given up on within a second, so that
        // PipeWire, next in line, takes the synth about as the window shows.
        JackServer jack;
        ASSERT_TRUE(jack.running()) << "jackd did not start";
        Environment env = pipewire.environment();
        env.push_back("JACK_DEFAULT_SERVER=" + jack.name());
        jack.freeze();
        Program program(x, env);
        const auto [window, shown] = program.window();
        EXPECT_TRUE(waitUntil([&] { return !pipewire.node("Tonvelo").isEmpty(); }, 1s)) << program.log();
        jack.thaw();
        ASSERT_NE(window, 0u) << program.log();
        EXPECT_TRUE(program.close(window).second) << program.log();
    }
    {
        // PipeWire's own JACK library: its native stream plays, at its own quantum.
        const auto library = runCommand({ "pw-jack", "printenv", "LD_LIBRARY_PATH" });
        Environment env = pipewire.environment();
        env.push_back("LD_LIBRARY_PATH=" + library.output.substr(0, library.output.find('\n')));
        env.push_back("JACK_DEFAULT_SERVER");
        Program program(x, env);
        const auto [window, shown] = program.window();
        ASSERT_NE(window, 0u) << program.log();
        QJsonObject node;
        ASSERT_TRUE(waitUntil([&] { return !(node = pipewire.node("Tonvelo")).isEmpty(); }, 2s))
            << program.log();
        EXPECT_EQ(node["node.latency"].toString(), QStringLiteral("64/48000")) << program.log();
        EXPECT_NE(node["client.api"].toString(), QStringLiteral("jack"));
        program.close(window);
    }
}
