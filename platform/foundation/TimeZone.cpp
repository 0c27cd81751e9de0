#include "platform/foundation/TimeZone.h"

#include <unicode/simpletz.h>
#include <unicode/timezone.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/foundation/ICUAccess.h"
#include "platform/foundation/UnicodeText.h"

namespace ql::ns {

struct TimeZone::Impl {
    std::unique_ptr<icu::TimeZone> zone;
    std::string name;
};

namespace {

constexpr std::int64_t kMaximumOffset = 18 * 3600;

std::string offsetName(std::int64_t seconds) {
    if (seconds == 0) return "GMT";
    std::int64_t magnitude = std::llabs(seconds) / 60;
    char text[40];
    std::snprintf(text, sizeof text, "GMT%c%02lld%02lld", seconds < 0 ? '-' : '+',
                  static_cast<long long>(magnitude / 60), static_cast<long long>(magnitude % 60));
    return text;
}

struct DefaultZone {
    std::mutex mutex;
    std::optional<TimeZone> zone;
};

DefaultZone& defaultZone() {
    static auto& instance = *new DefaultZone;
    return instance;
}

}  // namespace

std::optional<TimeZone> TimeZone::named(std::string_view name) {
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(detail::unicodeText(name)));
    icu::UnicodeString id;
    zone->getID(id);
    if (id == icu::UnicodeString(UCAL_UNKNOWN_ZONE_ID)) return std::nullopt;
    // A custom offset ("GMT+8") is named as the platform names fixed offsets.
    icu::UnicodeString canonical;
    UBool isSystemID = false;
    UErrorCode status = U_ZERO_ERROR;
    icu::TimeZone::getCanonicalID(id, canonical, isSystemID, status);
    if (U_SUCCESS(status) && !isSystemID) return forSecondsFromGMT(zone->getRawOffset() / 1000);
    return TimeZone(std::make_shared<const Impl>(Impl{std::move(zone), detail::utf8Text(id)}));
}

std::optional<TimeZone> TimeZone::forSecondsFromGMT(std::int64_t seconds) {
    if (seconds < -kMaximumOffset || seconds > kMaximumOffset) return std::nullopt;
    std::string name = offsetName(seconds);
    auto zone = std::make_unique<icu::SimpleTimeZone>(static_cast<int32_t>(seconds * 1000), detail::unicodeText(name));
    return TimeZone(std::make_shared<const Impl>(Impl{std::move(zone), std::move(name)}));
}

TimeZone TimeZone::gmt() {
    static const auto& zone = *new TimeZone(*forSecondsFromGMT(0));
    return zone;
}

TimeZone TimeZone::system() {
    static const auto& zone = *new TimeZone([] {
        std::unique_ptr<icu::TimeZone> host(icu::TimeZone::detectHostTimeZone());
        icu::UnicodeString id;
        host->getID(id);
        if (id == icu::UnicodeString(UCAL_UNKNOWN_ZONE_ID)) return gmt();
        return TimeZone(std::make_shared<const Impl>(Impl{std::move(host), detail::utf8Text(id)}));
    }());
    return zone;
}

TimeZone TimeZone::defaultTimeZone() {
    std::lock_guard lock(defaultZone().mutex);
    return defaultZone().zone ? *defaultZone().zone : system();
}

void TimeZone::setDefault(std::optional<TimeZone> zone) {
    std::lock_guard lock(defaultZone().mutex);
    defaultZone().zone = std::move(zone);
}

const std::string& TimeZone::name() const { return impl_->name; }

std::int64_t TimeZone::secondsFromGMT(Date date) const {
    int32_t raw = 0;
    int32_t dst = 0;
    UErrorCode status = U_ZERO_ERROR;
    impl_->zone->getOffset(detail::icuDate(date), false, raw, dst, status);
    return U_SUCCESS(status) ? (raw + dst) / 1000 : 0;
}

bool TimeZone::isDaylightSavingTime(Date date) const {
    int32_t raw = 0;
    int32_t dst = 0;
    UErrorCode status = U_ZERO_ERROR;
    impl_->zone->getOffset(detail::icuDate(date), false, raw, dst, status);
    return U_SUCCESS(status) && dst != 0;
}

bool TimeZone::operator==(const TimeZone& other) const {
    return impl_ == other.impl_ || (impl_->name == other.impl_->name && *impl_->zone == *other.impl_->zone);
}

const icu::TimeZone& detail::ICUAccess::timeZone(const TimeZone& zone) { return *zone.impl_->zone; }

}  // namespace ql::ns
