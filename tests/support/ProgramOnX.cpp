#include "ProgramOnX.h"

#include <cstdlib>
#include <iostream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include <QTime>
#include <gtest/gtest.h>

#include "XWindows.h"

namespace {

Environment onDisplay(const std::string& display, const Environment& extra)
{
    Environment env { "DISPLAY=" + display, "QT_QPA_PLATFORM=xcb", "QT_LOGGING_RULES=tonvelo.*=true",
        "QT_MESSAGE_PATTERN=%{time hh:mm:ss.zzz} %{category}: %{message}" };
    // A test may unwind fully on every allocation, for its own leak
    // suppressions; the program then made a new synth in seconds, not tens
    // of milliseconds, and sounded that much late.
    if (const char* asan = std::getenv("ASAN_OPTIONS"))
        env.push_back(
            "ASAN_OPTIONS=" + std::regex_replace(asan, std::regex(":?fast_unwind_on_malloc=0"), ""));
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

// The output's lines that are the program's log or the test's marks (true), or the rest.
std::string linesOf(const std::string& output, bool logged)
{
    static const std::regex logLine(R"(^\d\d:\d\d:\d\d\.\d{3} (tonvelo\.|test: ))");
    // The test's marks go into the file the program writes to, and one may
    // land inside a line of the program's, whose end then follows alone.
    static const std::regex mark(R"(\d\d:\d\d:\d\d\.\d{3} test: )");
    std::istringstream in(std::regex_replace(output, mark, "\n$&"));
    std::string kept;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && std::regex_search(line, logLine) == logged)
            kept += line + "\n";
    return kept;
}

} // namespace

ProgramOnX::ProgramOnX(const std::string& program, const std::string& display, const Environment& extraEnv)
    : ProgramOnX(std::vector<std::string> { program }, display, extraEnv)
{
}

ProgramOnX::ProgramOnX(
    const std::vector<std::string>& args, const std::string& display, const Environment& extraEnv)
    : display_(display)
    , process_(args, onDisplay(display, extraEnv))
{
}

ProgramOnX::~ProgramOnX()
{
    if (::testing::Test::HasFailure())
        std::cout << "The program's log, with the test's steps:\n" << log();
}

std::string ProgramOnX::output() const
{
    return linesOf(process_.output(), false);
}

std::string ProgramOnX::log() const
{
    return linesOf(process_.output(), true);
}

void ProgramOnX::mark(const std::string& step)
{
    process_.note(QTime::currentTime().toString("hh:mm:ss.zzz").toStdString() + " test: " + step + "\n");
}

unsigned long ProgramOnX::waitForMainWindow(std::chrono::milliseconds timeout)
{
    const Environment env { "DISPLAY=" + display_ };
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline && process_.running()) {
        const auto found
            = runCommand({ "xdotool", "search", "--onlyvisible", "--pid", std::to_string(process_.pid()) },
                std::chrono::seconds(10), env);
        std::istringstream ids(found.output);
        unsigned long id = 0;
        while (ids >> id) {
            if (xwindows::transientFor(display_, id) == 0)
                return id;
            // The message box: its OK button is the default one.
            runCommand({ "xdotool", "key", "--window", std::to_string(id), "Return" },
                std::chrono::seconds(10), env);
            answered_.insert(id);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return 0;
}

QImage ProgramOnX::settledPicture(unsigned long window, std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    QImage last = xwindows::grab(display_, window);
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        QImage next = xwindows::grab(display_, window);
        if (!next.isNull() && next == last)
            return next;
        last = next;
    }
    return {};
}
