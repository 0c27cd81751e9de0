#include "analytics/StatLog.h"

#include <atomic>
#include <string>

#include "platform/foundation/Log.h"

namespace ql {

namespace {
std::atomic<bool> enabled{false};
}

bool statLogEnabled() { return enabled.load(std::memory_order_relaxed); }

void setStatLogEnabled(bool on) { enabled.store(on, std::memory_order_relaxed); }

void statLog(std::string_view text) {
    if (!statLogEnabled()) return;
    ns::Log::write("STATLOG: " + std::string(text));
}

}  // namespace ql
