#include "WindowFigures.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "MapWatcher.h"
#include "XWindows.h"
#include "XvfbServer.h"

using namespace std::chrono_literals;

namespace {

constexpr auto idleSpan = 10s;

} // namespace

// Resident memory that is the process's own: RSS less the pages it shares
// (a JACK client maps about 100 MB of the server's shared memory) and less
// the clean pages of files. Those are library code, which the kernel counts
// as private only while no other process maps the same library, so they
// would make the figure depend on what else runs on the machine.
double privateMegabytes(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
    double kb = 0;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string key;
        double value = 0;
        fields >> key >> value;
        if (key == "Private_Dirty:")
            kb += value;
    }
    return kb / 1024.0;
}

double cpuNanoseconds(pid_t pid)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    double total = 0;
    if (DIR* dir = opendir(tasks.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            std::ifstream in(tasks + "/" + entry->d_name + "/schedstat");
            double ns = 0;
            if (in >> ns)
                total += ns;
        }
        closedir(dir);
    }
    return total;
}

std::vector<double> cpuPercentOver(const std::vector<pid_t>& pids, std::chrono::milliseconds span)
{
    std::vector<double> before;
    for (pid_t pid : pids)
        before.push_back(cpuNanoseconds(pid));
    const auto from = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(span);
    const double elapsed
        = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - from).count();
    std::vector<double> percent;
    for (size_t i = 0; i < pids.size(); ++i)
        percent.push_back(100.0 * (cpuNanoseconds(pids[i]) - before[i]) / elapsed);
    return percent;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<size_t>(std::ceil(p * static_cast<double>(values.size())));
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

std::string format(double value, int decimals, const char* unit)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f %s", decimals, value, unit);
    return text;
}

void row(const std::string& figure, const std::string& value, const std::string& goal)
{
    std::cout << "| " << figure << " | " << value << " | " << goal << " |\n";
}

std::string verdict(bool met)
{
    return met ? "met" : "**missed**";
}

void runOnce(Program& program, const XvfbServer& xvfb, const Environment& env, bool full, int retries)
{
    MapWatcher watcher(xvfb.display());
    if (!watcher.ok()) {
        program.failed = true;
        return;
    }
    const auto start = MapWatcher::Clock::now();
    RunningProgram app(program.command, env);
    const auto mapped = watcher.waitForWindow("Tonvelo", start + 30s);
    const bool refused = app.output().find("could not connect to display") != std::string::npos
        || app.output().find("no display to show the window on") != std::string::npos;
    if (!mapped && refused && retries-- > 0) {
        // Xvfb here refuses about one connection in a thousand, whichever
        // program makes it; that start is tried again.
        std::cerr << program.label << ": the display refused the connection; once more\n";
        app.stop();
        runOnce(program, xvfb, env, full, retries);
        return;
    }
    if (!mapped || mapped->dialog) {
        std::cerr << program.label << ": "
                  << (mapped ? "showed a message box instead of its window" : "no window") << "\n"
                  << app.output();
        program.failed = true;
        return;
    }
    program.startupMs.push_back(std::chrono::duration<double, std::milli>(mapped->time - start).count());
    if (full) {
        std::this_thread::sleep_for(program.settle);
        program.privateMb.push_back(privateMegabytes(app.pid()));
        const auto cpu = cpuPercentOver({ app.pid(), program.helper }, idleSpan);
        program.cpuPercent.push_back(cpu[0]);
        if (program.helper)
            program.helperCpuPercent.push_back(cpu[1]);
    }
    xwindows::close(xvfb.display(), mapped->window);
    if (!app.wait(10s)) {
        std::cerr << program.label << ": did not end when its window closed\n";
        program.failed = true;
    }
}
