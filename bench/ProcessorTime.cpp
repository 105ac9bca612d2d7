#include "ProcessorTime.h"

#include <fstream>
#include <iterator>
#include <sstream>

long cpuTicks(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t after = text.rfind(')');
    if (after == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(after + 2));
    std::string skip;
    long user = 0, system = 0;
    for (int i = 0; i < 11; ++i)
        fields >> skip;
    fields >> user >> system;
    return user + system;
}

std::pair<long, long> busyAndStolen()
{
    std::ifstream stat("/proc/stat");
    std::string cpu;
    long value = 0, total = 0, stolen = 0;
    stat >> cpu;
    // user nice system idle iowait irq softirq steal
    for (int field = 0; field < 8 && stat >> value; ++field) {
        total += value;
        if (field == 7)
            stolen = value;
    }
    return { total, stolen };
}

std::string loadAverage()
{
    std::ifstream loadavg("/proc/loadavg");
    std::string one, five;
    loadavg >> one >> five;
    return one + " / " + five;
}
