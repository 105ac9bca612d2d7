#include "GraphProfile.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <regex>
#include <sstream>
#include <vector>

namespace {

// A profiler row: four columns of the driver, then eight for each node:
// id, signal, awake, finish, scheduling delay, duration, status, and one
// more. The status a node ends its part with:
constexpr int finished = 3;
constexpr size_t driverColumns = 4;
constexpr size_t nodeColumns = 8;
constexpr size_t durationColumn = 5;
constexpr size_t statusColumn = 6;

struct NodeCycle {
    int status = -1; // -1: the node took no part
    long duration = 0;
};

// The node ids by name, from the plot file the profiler writes on leaving.
std::map<std::string, std::string> nodeIds(const std::string& plotPath)
{
    std::ifstream file(plotPath);
    const std::string text { std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>() };
    std::map<std::string, std::string> ids;
    const std::regex title(R"re(title "([^"/]+)/([0-9]+)")re");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), title); it != std::sregex_iterator(); ++it)
        ids.emplace((*it)[1].str(), (*it)[2].str());
    return ids;
}

NodeCycle cycleOf(const std::vector<std::string>& columns, const std::string& id)
{
    for (size_t at = driverColumns; at + statusColumn < columns.size(); at += nodeColumns)
        if (columns[at] == id)
            return { std::atoi(columns[at + statusColumn].c_str()),
                std::atol(columns[at + durationColumn].c_str()) };
    return {};
}

void put(std::ofstream& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xff));
}

} // namespace

GraphProfile::GraphProfile(const std::string& dir, const Environment& env)
    : dir_(dir)
{
    std::filesystem::create_directories(dir_);
    // It writes its plot files where it runs.
    profiler_ = std::make_unique<RunningProgram>(
        std::vector<std::string> { "sh", "-c", "cd \"$0\" && exec pw-profiler -o profile.log", dir_ }, env);
}

GraphProfile::Misses GraphProfile::stop(const std::string& first, const std::string& second)
{
    profiler_->stop();
    Misses misses;
    const auto ids = nodeIds(dir_ + "/Timing3.plot");
    const auto firstId = ids.find(first), secondId = ids.find(second);
    if (firstId == ids.end())
        return misses;
    std::ifstream log(dir_ + "/profile.log");
    std::vector<std::string> columns;
    for (std::string line; std::getline(log, line);) {
        columns.clear();
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, '\t');)
            columns.push_back(field);
        const NodeCycle one = cycleOf(columns, firstId->second);
        if (one.status < 0)
            continue;
        const NodeCycle other = secondId == ids.end() ? NodeCycle {} : cycleOf(columns, secondId->second);
        ++misses.cycles;
        misses.first += one.status != finished;
        misses.second += other.status >= 0 && other.status != finished;
        misses.firstOnly += one.status != finished && other.status == finished;
        if (one.status == finished)
            misses.firstWork.push_back(one.duration);
        if (other.status == finished)
            misses.secondWork.push_back(other.duration);
    }
    return misses;
}

bool writeSine(const std::string& path, int seconds)
{
    constexpr uint32_t rate = 48000, channels = 2, bytesPerSample = 2;
    const uint32_t frames = rate * static_cast<uint32_t>(seconds);
    const uint32_t dataBytes = frames * channels * bytesPerSample;
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    put(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    put(out, 16, 4);
    put(out, 1, 2); // PCM
    put(out, channels, 2);
    put(out, rate, 4);
    put(out, rate * channels * bytesPerSample, 4);
    put(out, channels * bytesPerSample, 2);
    put(out, bytesPerSample * 8, 2);
    out.write("data", 4);
    put(out, dataBytes, 4);
    for (uint32_t i = 0; i < frames; ++i) {
        const double phase = 2 * std::numbers::pi * 440.0 * i / rate;
        const auto sample = static_cast<int16_t>(3000 * std::sin(phase));
        for (uint32_t c = 0; c < channels; ++c)
            put(out, static_cast<uint16_t>(sample), 2);
    }
    return static_cast<bool>(out);
}
