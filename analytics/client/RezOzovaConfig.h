#pragma once
// The analytics client's stored settings, in the standard user defaults.

#include <cstdint>
#include <string_view>

#include "platform/foundation/Value.h"

namespace ql {

class RezOzovaConfig {
public:
    // Nil when nothing is stored.
    static ns::Value configureWithKey(std::string_view key);
    // Stores and synchronises; a missing value or an empty key changes nothing.
    static void setConfigure(const ns::Value& value, std::string_view key);
    // "lastPostDate" (today, "yyyy-MM-dd") and "lastPostInterval" (now, seconds since 1970).
    static void setLastPostDate();
    // Counts one request in "statSuccessfulRequests" or "statFailedRequests"; keeps a time of at least 1 ms in
    // "statLastRequestSpentMS".
    static void incrementRequest(bool success, std::int64_t usedTimeMS);
    // Adds to the count stored under the key (none counts as 0), held at the ends of 64 bits: the stored
    // settings may hold any number.
    static void addToCount(std::string_view key, std::int64_t amount);
};

}  // namespace ql
