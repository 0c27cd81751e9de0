#include "analytics/client/RezOzovaConfig.h"

#include <limits>

#include "analytics/client/StatProtocolData.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"

namespace ql {

ns::Value RezOzovaConfig::configureWithKey(std::string_view key) {
    return ns::UserDefaults::standard().objectForKey(key);
}

void RezOzovaConfig::setConfigure(const ns::Value& value, std::string_view key) {
    if (value.isNil() || key.empty()) return;
    auto& defaults = ns::UserDefaults::standard();
    defaults.setObject(value, key);
    defaults.synchronize();
}

void RezOzovaConfig::setLastPostDate() {
    setConfigure(ns::Value(StatProtocolData::dateString()), "lastPostDate");
    setConfigure(ns::Value(ns::Clock::now()), "lastPostInterval");
}

void RezOzovaConfig::incrementRequest(bool success, std::int64_t usedTimeMS) {
    const std::string_view key = success ? "statSuccessfulRequests" : "statFailedRequests";
    addToCount(key, 1);
    if (usedTimeMS >= 1) setConfigure(ns::Value(usedTimeMS), "statLastRequestSpentMS");
}

void RezOzovaConfig::addToCount(std::string_view key, std::int64_t amount) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(configureWithKey(key).int64Value(), amount, &sum))
        sum = amount > 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
    setConfigure(ns::Value(sum), key);
}

}  // namespace ql
