#pragma once
// ns::TimeZone: a zone of the time-zone database ("Asia/Shanghai", with its daylight-saving rules) or a
// fixed offset from GMT ("GMT+0800"). Copies share the same immutable zone.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Date.h"

namespace ql::ns {

namespace detail {
struct ICUAccess;
}

class TimeZone {
public:
    // A database name ("Europe/Berlin", "UTC") or a GMT offset ("GMT+8", "GMT-03:30"); nothing for a name
    // the database does not know.
    static std::optional<TimeZone> named(std::string_view name);
    // A fixed offset of at most 18 hours either way; nothing beyond. Named "GMT" for 0, else "GMT+0800".
    static std::optional<TimeZone> forSecondsFromGMT(std::int64_t seconds);
    static TimeZone gmt();
    // The host's zone (TZ, else /etc/localtime), read once.
    static TimeZone system();
    // The zone formatters and calendars start with: the one set by setDefault, else the system's.
    static TimeZone defaultTimeZone();
    // The device stand-in sets the phone's zone; nullopt returns to the system's.
    static void setDefault(std::optional<TimeZone> zone);

    const std::string& name() const;
    // The offset in effect at the date, daylight saving included.
    std::int64_t secondsFromGMT(Date date) const;
    std::int64_t secondsFromGMT() const { return secondsFromGMT(Date::now()); }
    bool isDaylightSavingTime(Date date) const;

    bool operator==(const TimeZone& other) const;

private:
    friend struct detail::ICUAccess;
    struct Impl;
    explicit TimeZone(std::shared_ptr<const Impl> impl) : impl_(std::move(impl)) {}
    std::shared_ptr<const Impl> impl_;
};

}  // namespace ql::ns
