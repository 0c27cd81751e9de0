#include "platform/foundation/Calendar.h"

#include <unicode/calendar.h>
#include <unicode/locid.h>

#include <cmath>
#include <algorithm>
#include <mutex>
#include <utility>

#include "platform/foundation/ICUAccess.h"

namespace ql::ns {

namespace {

constexpr double kMillisecondsPerHour = 3'600'000.0;
constexpr double kMillisecondsPerMinute = 60'000.0;

std::unique_ptr<icu::Calendar> makeICUCalendar(const std::string& identifier, const Locale& locale,
                                               const TimeZone& zone) {
    icu::Locale icuLocale(locale.localeIdentifier().c_str());
    UErrorCode status = U_ZERO_ERROR;
    icuLocale.setKeywordValue("calendar", identifier.c_str(), status);
    if (U_FAILURE(status)) return nullptr;
    std::unique_ptr<icu::Calendar> calendar(
        icu::Calendar::createInstance(detail::ICUAccess::timeZone(zone).clone(), icuLocale, status));
    // ICU falls back to the Gregorian calendar for a type it does not know.
    if (U_FAILURE(status) || !calendar || identifier != calendar->getType()) return nullptr;
    calendar->setLenient(true);
    return calendar;
}

bool fitsInt32(std::int64_t value) { return value >= INT32_MIN && value <= INT32_MAX; }

constexpr double kMillisecondsPerDay = 86'400'000.0;

// The instants ICU's calendars represent, about 5.8 million years either side of 1970. A lenient calendar
// pins a time set beyond them to the edge, which is how they are found (they are the same for every kind).
struct Reach {
    UDate earliest;
    UDate latest;
};

const Reach& reachOf(icu::Calendar& calendar) {
    static const Reach reach = [&calendar] {
        UErrorCode status = U_ZERO_ERROR;
        calendar.setTime(-1e300, status);
        const UDate earliest = calendar.getTime(status);
        calendar.setTime(1e300, status);
        return Reach{earliest, calendar.getTime(status)};
    }();
    return reach;
}

// Where `amount` steps of a field may land, in days from the start, over every calendar ICU keeps: years
// of 353 (lunar) to 385 (with a leap month) days, months of 27 to 32 days over a year (one may be as short
// as five), weeks and days exact. A day kept inside its month or a leap month strays well within the slack.
// ICU's arithmetic overflows for amounts far beyond its reach and lands anywhere, even on the wrong side
// of the date, so a landing outside this window is a wrapped one. Eras have no such measure.
struct Window {
    double fewestDays;
    double mostDays;
};

std::optional<Window> landingWindow(UCalendarDateFields field, std::int64_t amount) {
    constexpr double slackDays = 400;
    double fewest = 0, most = 0;
    switch (field) {
        case UCAL_YEAR:
        case UCAL_YEAR_WOY: fewest = 353, most = 385; break;
        case UCAL_MONTH: fewest = 27, most = 32; break;
        case UCAL_WEEK_OF_YEAR:
        case UCAL_WEEK_OF_MONTH:
        case UCAL_DAY_OF_WEEK_IN_MONTH: fewest = most = 7; break;
        case UCAL_DATE:
        case UCAL_DAY_OF_WEEK: fewest = most = 1; break;
        default: return std::nullopt;
    }
    const double steps = static_cast<double>(amount);
    if (amount < 0) std::swap(fewest, most);
    return Window{steps * fewest - slackDays, steps * most + slackDays};
}

// The range a unit takes in any date (widest) or in every date (narrowest).
Range unitLimits(const icu::Calendar& calendar, CalendarUnit unit, bool widest) {
    auto range = [&](UCalendarDateFields field, int shift = 0) {
        std::int32_t low = widest ? calendar.getMinimum(field) : calendar.getGreatestMinimum(field);
        std::int32_t high = widest ? calendar.getMaximum(field) : calendar.getLeastMaximum(field);
        return Range{static_cast<std::uint64_t>(low + shift), static_cast<std::uint64_t>(high - low + 1)};
    };
    switch (unit) {
        case CalendarUnitEra: return range(UCAL_ERA);
        case CalendarUnitYear: return range(UCAL_YEAR);
        case CalendarUnitYearForWeekOfYear: return range(UCAL_YEAR_WOY);
        case CalendarUnitMonth: return range(UCAL_MONTH, 1);
        case CalendarUnitDay: return range(UCAL_DATE);
        case CalendarUnitWeekOfYear: return range(UCAL_WEEK_OF_YEAR);
        case CalendarUnitWeekOfMonth: return range(UCAL_WEEK_OF_MONTH);
        case CalendarUnitWeekdayOrdinal: return range(UCAL_DAY_OF_WEEK_IN_MONTH);
        case CalendarUnitWeekday: return Range{1, 7};
        case CalendarUnitQuarter: return Range{1, 4};
        case CalendarUnitHour: return Range{0, 24};
        case CalendarUnitMinute:
        case CalendarUnitSecond: return Range{0, 60};
        case CalendarUnitNanosecond: return Range{0, 1'000'000'000};
        default: return Range{NotFound, 0};
    }
}

std::int64_t wholeNanoseconds(double seconds) {
    double fraction = seconds - std::floor(seconds);
    return std::min<std::int64_t>(std::llround(fraction * 1e9), 999'999'999);
}

}  // namespace

struct Calendar::Impl {
    std::string identifier;
    Locale locale;
    TimeZone zone;
    std::optional<std::uint64_t> firstWeekday;  // as set, kept when the locale changes
    std::optional<std::uint64_t> minimumDays;
    std::unique_ptr<icu::Calendar> calendar;
    mutable std::mutex mutex;

    Impl(std::string id, Locale l, TimeZone z, std::unique_ptr<icu::Calendar> c)
        : identifier(std::move(id)), locale(std::move(l)), zone(std::move(z)), calendar(std::move(c)) {}
    Impl(const Impl& other)
        : identifier(other.identifier),
          locale(other.locale),
          zone(other.zone),
          firstWeekday(other.firstWeekday),
          minimumDays(other.minimumDays) {
        std::lock_guard lock(other.mutex);
        calendar.reset(other.calendar->clone());
    }

    // Sets the calendar to a date, keeping the fraction of a millisecond that ICU's fields drop.
    double setDate(Date date) {
        double milliseconds = detail::icuDate(date);
        double whole = std::floor(milliseconds);
        UErrorCode status = U_ZERO_ERROR;
        calendar->setTime(whole, status);
        return milliseconds - whole;
    }

    std::int32_t get(UCalendarDateFields field) {
        UErrorCode status = U_ZERO_ERROR;
        return calendar->get(field, status);
    }

    // The first moment of the unit that holds the calendar's current time; nothing for units without one.
    std::optional<UDate> startOfUnit(CalendarUnit unit) {
        UErrorCode status = U_ZERO_ERROR;
        UDate now = calendar->getTime(status);
        switch (unit) {
            case CalendarUnitSecond: return now - get(UCAL_MILLISECOND);
            case CalendarUnitMinute: return now - get(UCAL_SECOND) * 1000.0 - get(UCAL_MILLISECOND);
            // Counted back in absolute time: the wall-clock hour may repeat when daylight saving ends.
            case CalendarUnitHour:
                return now - get(UCAL_MINUTE) * kMillisecondsPerMinute - get(UCAL_SECOND) * 1000.0 -
                       get(UCAL_MILLISECOND);
            case CalendarUnitDay:
            case CalendarUnitWeekday: break;
            case CalendarUnitWeekOfMonth:
            case CalendarUnitWeekOfYear: {
                int back = (get(UCAL_DAY_OF_WEEK) - calendar->getFirstDayOfWeek(status) + 7) % 7;
                calendar->add(UCAL_DATE, -back, status);
                break;
            }
            case CalendarUnitMonth: calendar->set(UCAL_DATE, 1); break;
            case CalendarUnitQuarter:
                calendar->set(UCAL_MONTH, get(UCAL_MONTH) / 3 * 3);
                calendar->set(UCAL_DATE, 1);
                break;
            case CalendarUnitYear: calendar->set(UCAL_DAY_OF_YEAR, 1); break;
            default: return std::nullopt;
        }
        // A midnight that daylight saving skips resolves to the first moment after the gap.
        calendar->set(UCAL_HOUR_OF_DAY, 0);
        calendar->set(UCAL_MINUTE, 0);
        calendar->set(UCAL_SECOND, 0);
        calendar->set(UCAL_MILLISECOND, 0);
        UDate start = calendar->getTime(status);
        if (U_FAILURE(status)) return std::nullopt;
        return start;
    }
};

Calendar::Calendar() : Calendar(*withIdentifier(CalendarIdentifierGregorian)) {}

Calendar::Calendar(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

std::optional<Calendar> Calendar::withIdentifier(std::string_view identifier) {
    std::string id(identifier);
    Locale locale = Locale::current();
    TimeZone zone = TimeZone::defaultTimeZone();
    auto calendar = makeICUCalendar(id, locale, zone);
    if (!calendar) return std::nullopt;
    return Calendar(std::make_unique<Impl>(std::move(id), std::move(locale), std::move(zone), std::move(calendar)));
}

Calendar Calendar::currentCalendar() { return Calendar(); }

Calendar::Calendar(const Calendar& other) : impl_(std::make_unique<Impl>(*other.impl_)) {}
Calendar& Calendar::operator=(const Calendar& other) {
    if (this != &other) impl_ = std::make_unique<Impl>(*other.impl_);
    return *this;
}
Calendar::Calendar(Calendar&&) noexcept = default;
Calendar& Calendar::operator=(Calendar&&) noexcept = default;
Calendar::~Calendar() = default;

const std::string& Calendar::calendarIdentifier() const { return impl_->identifier; }

Locale Calendar::locale() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->locale;
}

void Calendar::setLocale(const Locale& locale) {
    std::lock_guard lock(impl_->mutex);
    auto calendar = makeICUCalendar(impl_->identifier, locale, impl_->zone);
    if (!calendar) return;
    if (impl_->firstWeekday) calendar->setFirstDayOfWeek(static_cast<UCalendarDaysOfWeek>(*impl_->firstWeekday));
    if (impl_->minimumDays) calendar->setMinimalDaysInFirstWeek(static_cast<uint8_t>(*impl_->minimumDays));
    impl_->calendar = std::move(calendar);
    impl_->locale = locale;
}

TimeZone Calendar::timeZone() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->zone;
}

void Calendar::setTimeZone(const TimeZone& zone) {
    std::lock_guard lock(impl_->mutex);
    impl_->calendar->setTimeZone(detail::ICUAccess::timeZone(zone));
    impl_->zone = zone;
}

std::uint64_t Calendar::firstWeekday() const {
    std::lock_guard lock(impl_->mutex);
    UErrorCode status = U_ZERO_ERROR;
    return static_cast<std::uint64_t>(impl_->calendar->getFirstDayOfWeek(status));
}

void Calendar::setFirstWeekday(std::uint64_t weekday) {
    if (weekday < 1 || weekday > 7) return;
    std::lock_guard lock(impl_->mutex);
    impl_->calendar->setFirstDayOfWeek(static_cast<UCalendarDaysOfWeek>(weekday));
    impl_->firstWeekday = weekday;
}

std::uint64_t Calendar::minimumDaysInFirstWeek() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->calendar->getMinimalDaysInFirstWeek();
}

void Calendar::setMinimumDaysInFirstWeek(std::uint64_t days) {
    if (days < 1 || days > 7) return;
    std::lock_guard lock(impl_->mutex);
    impl_->calendar->setMinimalDaysInFirstWeek(static_cast<uint8_t>(days));
    impl_->minimumDays = days;
}

DateComponents Calendar::components(std::uint64_t units, Date date) const {
    DateComponents c;
    if (!std::isfinite(date.timeIntervalSince1970())) return c;
    std::lock_guard lock(impl_->mutex);
    impl_->setDate(date);
    auto& self = *impl_;
    if (units & CalendarUnitEra) c.era = self.get(UCAL_ERA);
    if (units & CalendarUnitYear) c.year = self.get(UCAL_YEAR);
    if (units & CalendarUnitMonth) {
        c.month = self.get(UCAL_MONTH) + 1;
        c.leapMonth = self.get(UCAL_IS_LEAP_MONTH) != 0;
    }
    if (units & CalendarUnitDay) c.day = self.get(UCAL_DATE);
    if (units & CalendarUnitHour) c.hour = self.get(UCAL_HOUR_OF_DAY);
    if (units & CalendarUnitMinute) c.minute = self.get(UCAL_MINUTE);
    if (units & CalendarUnitSecond) c.second = self.get(UCAL_SECOND);
    if (units & CalendarUnitNanosecond) c.nanosecond = wholeNanoseconds(date.timeIntervalSince1970());
    if (units & CalendarUnitWeekday) c.weekday = self.get(UCAL_DAY_OF_WEEK);
    if (units & CalendarUnitWeekdayOrdinal) c.weekdayOrdinal = self.get(UCAL_DAY_OF_WEEK_IN_MONTH);
    if (units & CalendarUnitQuarter) c.quarter = self.get(UCAL_MONTH) / 3 + 1;
    if (units & CalendarUnitWeekOfMonth) c.weekOfMonth = self.get(UCAL_WEEK_OF_MONTH);
    if (units & CalendarUnitWeekOfYear) c.weekOfYear = self.get(UCAL_WEEK_OF_YEAR);
    if (units & CalendarUnitYearForWeekOfYear) c.yearForWeekOfYear = self.get(UCAL_YEAR_WOY);
    if (units & CalendarUnitTimeZone) c.timeZone = self.zone;
    return c;
}

DateComponents Calendar::components(std::uint64_t units, Date from, Date to) const {
    DateComponents c;
    if (!std::isfinite(from.timeIntervalSince1970()) || !std::isfinite(to.timeIntervalSince1970())) return c;
    std::lock_guard lock(impl_->mutex);
    icu::Calendar& calendar = *impl_->calendar;
    double fraction = impl_->setDate(from);
    const UDate target = detail::icuDate(to);
    UErrorCode status = U_ZERO_ERROR;
    // Calendar units in the order they are taken off, the largest first.
    static constexpr std::pair<CalendarUnit, UCalendarDateFields> calendarUnits[] = {
        {CalendarUnitEra, UCAL_ERA},
        {CalendarUnitYear, UCAL_YEAR},
        {CalendarUnitMonth, UCAL_MONTH},
        {CalendarUnitWeekOfYear, UCAL_WEEK_OF_YEAR},
        {CalendarUnitWeekOfMonth, UCAL_WEEK_OF_MONTH},
        {CalendarUnitWeekdayOrdinal, UCAL_DAY_OF_WEEK_IN_MONTH},
        {CalendarUnitDay, UCAL_DATE},
        {CalendarUnitWeekday, UCAL_DAY_OF_WEEK},
    };
    for (auto [unit, field] : calendarUnits) {
        if (!(units & unit)) continue;
        // A field the calendar cannot step by (the era of most calendars) counts 0 and leaves the calendar
        // where it was, so the smaller fields are still measured.
        UErrorCode fieldStatus = U_ZERO_ERROR;
        const UDate before = calendar.getTime(fieldStatus);
        std::int32_t difference = calendar.fieldDifference(target - fraction, field, fieldStatus);
        if (U_FAILURE(fieldStatus)) {
            difference = 0;
            fieldStatus = U_ZERO_ERROR;
            calendar.setTime(before, fieldStatus);
        }
        c.setValue(difference, unit);
    }
    if (units & CalendarUnitQuarter) c.quarter = 0;
    if (units & CalendarUnitYearForWeekOfYear) c.yearForWeekOfYear = 0;
    // The rest is absolute time, so an hour count spans a daylight-saving change correctly.
    double remaining = target - (calendar.getTime(status) + fraction);
    auto take = [&remaining](double unitMilliseconds) {
        double count = std::trunc(remaining / unitMilliseconds);
        remaining -= count * unitMilliseconds;
        return static_cast<std::int64_t>(count);
    };
    if (units & CalendarUnitHour) c.hour = take(kMillisecondsPerHour);
    if (units & CalendarUnitMinute) c.minute = take(kMillisecondsPerMinute);
    if (units & CalendarUnitSecond) c.second = take(1000.0);
    if (units & CalendarUnitNanosecond) c.nanosecond = static_cast<std::int64_t>(std::llround(remaining * 1e6));
    if (units & CalendarUnitTimeZone) c.timeZone = impl_->zone;
    return c;
}

std::optional<Date> Calendar::dateFromComponents(const DateComponents& c) const {
    std::lock_guard lock(impl_->mutex);
    std::unique_ptr<icu::Calendar> zoned;
    icu::Calendar* calendar = impl_->calendar.get();
    if (c.timeZone) {
        zoned.reset(calendar->clone());
        zoned->setTimeZone(detail::ICUAccess::timeZone(*c.timeZone));
        calendar = zoned.get();
    }
    calendar->clear();
    // Defaults first, so that whatever the components set is newer and wins ICU's field resolution;
    // year, month and day come last so they win over week-based fields given alongside them.
    calendar->set(UCAL_YEAR, 1);
    calendar->set(UCAL_MONTH, 0);
    calendar->set(UCAL_DATE, 1);
    calendar->set(UCAL_HOUR_OF_DAY, 0);
    calendar->set(UCAL_MINUTE, 0);
    calendar->set(UCAL_SECOND, 0);
    calendar->set(UCAL_MILLISECOND, 0);
    const std::pair<std::int64_t, UCalendarDateFields> fields[] = {
        {c.era, UCAL_ERA},
        {c.year, UCAL_YEAR},
        {c.yearForWeekOfYear, UCAL_YEAR_WOY},
        {c.weekOfYear, UCAL_WEEK_OF_YEAR},
        {c.weekOfMonth, UCAL_WEEK_OF_MONTH},
        {c.weekdayOrdinal, UCAL_DAY_OF_WEEK_IN_MONTH},
        {c.weekday, UCAL_DAY_OF_WEEK},
        {c.month == DateComponentUndefined ? c.month : c.month - 1, UCAL_MONTH},
        {c.day, UCAL_DATE},
        {c.hour, UCAL_HOUR_OF_DAY},
        {c.minute, UCAL_MINUTE},
        {c.second, UCAL_SECOND},
    };
    for (auto [value, field] : fields) {
        if (value == DateComponentUndefined) continue;
        if (!fitsInt32(value)) return std::nullopt;
        calendar->set(field, static_cast<std::int32_t>(value));
        if (field == UCAL_MONTH && c.leapMonth) calendar->set(UCAL_IS_LEAP_MONTH, 1);
    }
    UErrorCode status = U_ZERO_ERROR;
    UDate milliseconds = calendar->getTime(status);
    if (U_FAILURE(status)) return std::nullopt;
    Date date = detail::fromICUDate(milliseconds);
    if (c.nanosecond != DateComponentUndefined) date = date.addingTimeInterval(static_cast<double>(c.nanosecond) / 1e9);
    return date;
}

std::optional<Date> Calendar::dateByAddingComponents(const DateComponents& c, Date date) const {
    if (!std::isfinite(date.timeIntervalSince1970())) return std::nullopt;
    std::lock_guard lock(impl_->mutex);
    icu::Calendar& calendar = *impl_->calendar;
    const Reach& reach = reachOf(calendar);
    double fraction = impl_->setDate(date);
    UErrorCode status = U_ZERO_ERROR;
    const std::pair<std::int64_t, UCalendarDateFields> fields[] = {
        {c.era, UCAL_ERA},
        {c.year, UCAL_YEAR},
        {c.yearForWeekOfYear, UCAL_YEAR_WOY},
        // Three months a quarter; a quarter count too large for that stays as it is and is refused below.
        {c.quarter == DateComponentUndefined || !fitsInt32(c.quarter) ? c.quarter : c.quarter * 3, UCAL_MONTH},
        {c.month, UCAL_MONTH},
        {c.weekOfYear, UCAL_WEEK_OF_YEAR},
        {c.weekOfMonth, UCAL_WEEK_OF_MONTH},
        {c.weekdayOrdinal, UCAL_DAY_OF_WEEK_IN_MONTH},
        {c.day, UCAL_DATE},
        {c.weekday, UCAL_DAY_OF_WEEK},
    };
    for (auto [amount, field] : fields) {
        if (amount == DateComponentUndefined || amount == 0) continue;
        if (!fitsInt32(amount)) return std::nullopt;
        const UDate before = calendar.getTime(status);
        const auto window = landingWindow(field, amount);
        // Not even tried when the nearest landing lies beyond reach.
        if (window && (before + window->mostDays * kMillisecondsPerDay < reach.earliest ||
                       before + window->fewestDays * kMillisecondsPerDay > reach.latest))
            return std::nullopt;
        calendar.add(field, static_cast<std::int32_t>(amount), status);
        const UDate after = calendar.getTime(status);
        if (U_FAILURE(status) || after < reach.earliest || after > reach.latest) return std::nullopt;
        const double days = (after - before) / kMillisecondsPerDay;
        if (window && (days < window->fewestDays || days > window->mostDays)) return std::nullopt;
    }
    UDate milliseconds = calendar.getTime(status);
    if (U_FAILURE(status)) return std::nullopt;
    double seconds = milliseconds / 1000.0 + fraction / 1000.0;
    auto addSeconds = [&seconds](std::int64_t amount, double unit) {
        if (amount != DateComponentUndefined) seconds += static_cast<double>(amount) * unit;
    };
    addSeconds(c.hour, 3600);
    addSeconds(c.minute, 60);
    addSeconds(c.second, 1);
    addSeconds(c.nanosecond, 1e-9);
    if (!(seconds * 1000.0 >= reach.earliest && seconds * 1000.0 <= reach.latest)) return std::nullopt;
    return Date::fromTimeIntervalSince1970(seconds);
}

Range Calendar::rangeOfUnit(CalendarUnit smaller, CalendarUnit larger, Date date) const {
    constexpr Range notFound{NotFound, 0};
    if (!std::isfinite(date.timeIntervalSince1970())) return notFound;
    std::lock_guard lock(impl_->mutex);
    impl_->setDate(date);
    icu::Calendar& calendar = *impl_->calendar;
    auto actual = [&calendar](UCalendarDateFields field, int shift = 0) {
        UErrorCode status = U_ZERO_ERROR;
        std::int32_t low = calendar.getActualMinimum(field, status);
        std::int32_t high = calendar.getActualMaximum(field, status);
        if (U_FAILURE(status)) return Range{NotFound, 0};
        return Range{static_cast<std::uint64_t>(low + shift), static_cast<std::uint64_t>(high - low + 1)};
    };
    const bool inWeek = larger == CalendarUnitWeekOfMonth || larger == CalendarUnitWeekOfYear;
    switch (smaller) {
        case CalendarUnitDay:
            if (larger == CalendarUnitMonth) return actual(UCAL_DATE);
            if (larger == CalendarUnitYear) return actual(UCAL_DAY_OF_YEAR);
            return notFound;
        case CalendarUnitWeekday:
            if (inWeek || larger == CalendarUnitMonth || larger == CalendarUnitQuarter || larger == CalendarUnitYear)
                return Range{1, 7};
            return notFound;
        case CalendarUnitMonth: return larger == CalendarUnitYear ? actual(UCAL_MONTH, 1) : notFound;
        case CalendarUnitQuarter: return larger == CalendarUnitYear ? Range{1, 4} : notFound;
        case CalendarUnitWeekOfMonth: return larger == CalendarUnitMonth ? actual(UCAL_WEEK_OF_MONTH) : notFound;
        case CalendarUnitWeekOfYear:
            return larger == CalendarUnitYear || larger == CalendarUnitYearForWeekOfYear ? actual(UCAL_WEEK_OF_YEAR)
                                                                                         : notFound;
        case CalendarUnitHour:
            return larger == CalendarUnitDay || larger == CalendarUnitWeekday ? Range{0, 24} : notFound;
        case CalendarUnitMinute: return larger == CalendarUnitHour ? Range{0, 60} : notFound;
        case CalendarUnitSecond: return larger == CalendarUnitMinute ? Range{0, 60} : notFound;
        default: return notFound;
    }
}

std::optional<DateInterval> Calendar::rangeOfUnit(CalendarUnit unit, Date date) const {
    if (!std::isfinite(date.timeIntervalSince1970())) return std::nullopt;
    std::lock_guard lock(impl_->mutex);
    icu::Calendar& calendar = *impl_->calendar;
    impl_->setDate(date);
    std::optional<UDate> start = impl_->startOfUnit(unit);
    if (!start) return std::nullopt;
    UDate next = 0;
    if (unit == CalendarUnitHour || unit == CalendarUnitMinute || unit == CalendarUnitSecond) {
        next = *start + (unit == CalendarUnitHour     ? kMillisecondsPerHour
                         : unit == CalendarUnitMinute ? kMillisecondsPerMinute
                                                      : 1000.0);
    } else {
        UErrorCode status = U_ZERO_ERROR;
        calendar.setTime(*start, status);
        switch (unit) {
            case CalendarUnitDay:
            case CalendarUnitWeekday: calendar.add(UCAL_DATE, 1, status); break;
            case CalendarUnitWeekOfMonth:
            case CalendarUnitWeekOfYear: calendar.add(UCAL_DATE, 7, status); break;
            case CalendarUnitMonth: calendar.add(UCAL_MONTH, 1, status); break;
            case CalendarUnitQuarter: calendar.add(UCAL_MONTH, 3, status); break;
            default: calendar.add(UCAL_YEAR, 1, status); break;
        }
        std::optional<UDate> nextStart = impl_->startOfUnit(unit);
        if (U_FAILURE(status) || !nextStart) return std::nullopt;
        next = *nextStart;
    }
    return DateInterval{detail::fromICUDate(*start), (next - *start) / 1000.0};
}

Range Calendar::minimumRangeOfUnit(CalendarUnit unit) const {
    std::lock_guard lock(impl_->mutex);
    return unitLimits(*impl_->calendar, unit, false);
}

Range Calendar::maximumRangeOfUnit(CalendarUnit unit) const {
    std::lock_guard lock(impl_->mutex);
    return unitLimits(*impl_->calendar, unit, true);
}

std::uint64_t Calendar::ordinalityOfUnit(CalendarUnit smaller, CalendarUnit larger, Date date) const {
    if (!std::isfinite(date.timeIntervalSince1970())) return NotFound;
    std::lock_guard lock(impl_->mutex);
    impl_->setDate(date);
    auto& self = *impl_;
    UErrorCode status = U_ZERO_ERROR;
    const int firstWeekday = self.calendar->getFirstDayOfWeek(status);
    auto dayOfWeek = [&] { return (self.get(UCAL_DAY_OF_WEEK) - firstWeekday + 7) % 7; };  // 0 on the first
    // Weeks counted from the one holding the first day of the month or year, whatever its length.
    auto weekOf = [&](int dayIndex) {
        return static_cast<std::uint64_t>((dayIndex + (dayOfWeek() - dayIndex % 7 + 7) % 7) / 7 + 1);
    };
    const bool inWeek = larger == CalendarUnitWeekOfMonth || larger == CalendarUnitWeekOfYear;
    switch (smaller) {
        case CalendarUnitDay:
            if (larger == CalendarUnitMonth) return static_cast<std::uint64_t>(self.get(UCAL_DATE));
            if (larger == CalendarUnitYear) return static_cast<std::uint64_t>(self.get(UCAL_DAY_OF_YEAR));
            if (inWeek) return static_cast<std::uint64_t>(dayOfWeek() + 1);
            return NotFound;
        case CalendarUnitWeekday: return inWeek ? static_cast<std::uint64_t>(dayOfWeek() + 1) : NotFound;
        case CalendarUnitWeekOfMonth:
        case CalendarUnitWeekOfYear:
            if (larger == CalendarUnitMonth) return weekOf(self.get(UCAL_DATE) - 1);
            if (larger == CalendarUnitYear) return weekOf(self.get(UCAL_DAY_OF_YEAR) - 1);
            return NotFound;
        case CalendarUnitMonth:
            return larger == CalendarUnitYear ? static_cast<std::uint64_t>(self.get(UCAL_MONTH) + 1) : NotFound;
        case CalendarUnitQuarter:
            return larger == CalendarUnitYear ? static_cast<std::uint64_t>(self.get(UCAL_MONTH) / 3 + 1) : NotFound;
        case CalendarUnitYear:
            return larger == CalendarUnitEra ? static_cast<std::uint64_t>(self.get(UCAL_YEAR)) : NotFound;
        case CalendarUnitHour:
            return larger == CalendarUnitDay ? static_cast<std::uint64_t>(self.get(UCAL_HOUR_OF_DAY) + 1) : NotFound;
        case CalendarUnitMinute:
            return larger == CalendarUnitHour ? static_cast<std::uint64_t>(self.get(UCAL_MINUTE) + 1) : NotFound;
        case CalendarUnitSecond:
            return larger == CalendarUnitMinute ? static_cast<std::uint64_t>(self.get(UCAL_SECOND) + 1) : NotFound;
        default: return NotFound;
    }
}

Date Calendar::startOfDayForDate(Date date) const {
    auto day = rangeOfUnit(CalendarUnitDay, date);
    return day ? day->start : date;
}

}  // namespace ql::ns
