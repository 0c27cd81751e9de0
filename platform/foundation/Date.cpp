#include "platform/foundation/Date.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "platform/foundation/Clock.h"

namespace ql::ns {

Date Date::now() { return Date(Clock::now()); }

double Date::timeIntervalSinceNow() const { return seconds_ - Clock::now(); }

std::string Date::description() const {
    std::time_t whole = static_cast<std::time_t>(std::floor(seconds_));
    std::tm utc{};
    gmtime_r(&whole, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d +0000", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

}  // namespace ql::ns
