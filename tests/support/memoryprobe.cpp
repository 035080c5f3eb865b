#include "memoryprobe.h"

#include <fstream>
#include <string>

namespace MemoryProbe {
namespace {

qint64 statusKb(const std::string& key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::stoll(line.substr(key.size()));
    return -1;
}

} // namespace

qint64 ResidentKb()
{
    return statusKb("VmRSS:");
}

qint64 PeakResidentKb()
{
    return statusKb("VmHWM:");
}

void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

} // namespace MemoryProbe
