#include "analytics/client/RezOzovaConfig.h"

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
    setConfigure(ns::Value(configureWithKey(key).int64Value() + 1), key);
    if (usedTimeMS >= 1) setConfigure(ns::Value(usedTimeMS), "statLastRequestSpentMS");
}

}  // namespace ql
