#include "analytics/StatLog.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace ql {

namespace {
std::atomic<bool> enabled{false};
}

bool statLogEnabled() { return enabled.load(std::memory_order_relaxed); }

void setStatLogEnabled(bool on) { enabled.store(on, std::memory_order_relaxed); }

void statLog(std::string_view text) {
    if (!statLogEnabled()) return;
    // One write per line, so lines from several threads do not interleave.
    std::string line = "STATLOG: ";
    line += text;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace ql
