#pragma once

#include <string>
#include <vector>

#include "Command.h"

// The recording stand-in for winmm.dll (winmm/StandInWinmm.cpp), seen from
// the test: the devices it reports, and the calls it logged.
class WinmmStandIn {
public:
    struct Call {
        // QueryPerformanceCounter's time, which under Wine follows Linux's monotonic clock.
        long long micros;
        std::string text; // "<function> <result> <arguments...>"
    };

    // "!Name" refuses to open; "Name~N" vanishes after N messages.
    explicit WinmmStandIn(const std::vector<std::string>& devices);
    ~WinmmStandIn();

    WinmmStandIn(const WinmmStandIn&) = delete;
    WinmmStandIn& operator=(const WinmmStandIn&) = delete;

    // For the program under Wine: the stand-in beside it replaces Wine's winmm.
    Environment environment() const;
    std::vector<Call> calls() const;

private:
    std::string devices_;
    std::string log_;
};
