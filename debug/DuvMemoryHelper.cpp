#include "debug/DuvMemoryHelper.h"

#include <malloc.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>

namespace ql {

namespace {

std::mutex statisticsMutex;
DuvMemoryHelper::HostStatistics statistics;  // guarded by statisticsMutex

}  // namespace

std::int64_t DuvMemoryHelper::bytesOfUsedMemory() {
    const struct mallinfo2 info = ::mallinfo2();
    return static_cast<std::int64_t>(info.uordblks + info.hblkhd);
}

bool DuvMemoryHelper::updateHostStatistics() {
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    std::ifstream meminfo("/proc/meminfo");
    if (pageSize <= 0 || !meminfo) return false;
    // "Name:   value kB" per line.
    std::map<std::string, std::int64_t> kilobytes;
    for (std::string line; std::getline(meminfo, line);) {
        std::istringstream fields(line);
        std::string name;
        std::int64_t value = 0;
        if (fields >> name >> value && !name.empty() && name.back() == ':') {
            name.pop_back();
            kilobytes[name] = value;
        }
    }
    const auto pages = [&](const char* name) { return kilobytes[name] * 1024 / pageSize; };
    std::lock_guard lock(statisticsMutex);
    statistics.pageSize = pageSize;
    statistics.freeCount = pages("MemFree");
    statistics.activeCount = pages("Active");
    statistics.inactiveCount = pages("Inactive");
    statistics.wireCount = pages("Unevictable");
    return kilobytes.count("MemFree") != 0;
}

DuvMemoryHelper::HostStatistics DuvMemoryHelper::hostStatistics() {
    std::lock_guard lock(statisticsMutex);
    return statistics;
}

std::int64_t DuvMemoryHelper::bytesOfTotalMemory() {
    updateHostStatistics();
    const HostStatistics s = hostStatistics();
    return (s.freeCount + s.activeCount + s.inactiveCount + s.wireCount) * s.pageSize;
}

}  // namespace ql
