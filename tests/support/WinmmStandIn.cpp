#include "WinmmStandIn.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "WineDesktop.h"

WinmmStandIn::WinmmStandIn(const std::vector<std::string>& devices)
{
    static int count = 0;
    log_ = std::filesystem::temp_directory_path()
        / ("tonvelo-winmm-" + std::to_string(getpid()) + "-" + std::to_string(count++) + ".log");
    for (const auto& name : devices)
        devices_ += (devices_.empty() ? "" : "|") + name;
    std::filesystem::remove(log_);
}

WinmmStandIn::~WinmmStandIn()
{
    std::filesystem::remove(log_);
}

Environment WinmmStandIn::environment() const
{
    return { "WINEDLLOVERRIDES=winmm=n,b", "WINMM_STANDIN_DEVICES=" + devices_,
        "WINMM_STANDIN_LOG=" + WineDesktop::windowsPath(log_) };
}

std::vector<WinmmStandIn::Call> WinmmStandIn::calls() const
{
    std::vector<Call> result;
    std::ifstream in(log_);
    for (Call call; in >> call.micros && std::getline(in >> std::ws, call.text);)
        result.push_back(call);
    return result;
}
