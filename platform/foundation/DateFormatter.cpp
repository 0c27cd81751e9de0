#include "platform/foundation/DateFormatter.h"

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>

#include <cmath>
#include <mutex>

#include "platform/foundation/ICUAccess.h"
#include "platform/foundation/UnicodeText.h"

namespace ql::ns {

namespace {

icu::DateFormat::EStyle icuStyle(DateFormatterStyle style) {
    switch (style) {
        case DateFormatterStyle::Short: return icu::DateFormat::kShort;
        case DateFormatterStyle::Medium: return icu::DateFormat::kMedium;
        case DateFormatterStyle::Long: return icu::DateFormat::kLong;
        case DateFormatterStyle::Full: return icu::DateFormat::kFull;
        case DateFormatterStyle::None: break;
    }
    return icu::DateFormat::kNone;
}

}  // namespace

struct DateFormatter::Impl {
    Locale locale = Locale::current();
    TimeZone zone = TimeZone::defaultTimeZone();
    std::string format;
    DateFormatterStyle dateStyle = DateFormatterStyle::None;
    DateFormatterStyle timeStyle = DateFormatterStyle::None;
    bool patternFromStyles = false;
    // Built on first use after a change of the settings above.
    mutable std::unique_ptr<icu::SimpleDateFormat> formatter;
    mutable std::mutex mutex;

    Impl() = default;
    Impl(const Impl& other) {
        std::lock_guard lock(other.mutex);
        locale = other.locale;
        zone = other.zone;
        format = other.format;
        dateStyle = other.dateStyle;
        timeStyle = other.timeStyle;
        patternFromStyles = other.patternFromStyles;
    }

    void changed() {
        formatter.reset();
        if (patternFromStyles) format = stylePattern();
    }

    std::string stylePattern() const {
        if (dateStyle == DateFormatterStyle::None && timeStyle == DateFormatterStyle::None) return "";
        std::unique_ptr<icu::DateFormat> styled(icu::DateFormat::createDateTimeInstance(
            icuStyle(dateStyle), icuStyle(timeStyle), icu::Locale(locale.localeIdentifier().c_str())));
        auto* simple = dynamic_cast<icu::SimpleDateFormat*>(styled.get());
        if (!simple) return "";
        icu::UnicodeString pattern;
        simple->toPattern(pattern);
        return detail::utf8Text(pattern);
    }

    // Under the mutex. Nothing when the pattern is empty or ICU rejects it.
    icu::SimpleDateFormat* icuFormatter() const {
        if (format.empty()) return nullptr;
        if (!formatter) {
            UErrorCode status = U_ZERO_ERROR;
            auto made = std::make_unique<icu::SimpleDateFormat>(detail::unicodeText(format),
                                                                icu::Locale(locale.localeIdentifier().c_str()), status);
            if (U_FAILURE(status)) return nullptr;
            made->setTimeZone(detail::ICUAccess::timeZone(zone));
            made->setLenient(false);
            formatter = std::move(made);
        }
        return formatter.get();
    }
};

DateFormatter::DateFormatter() : impl_(std::make_unique<Impl>()) {}
DateFormatter::DateFormatter(const DateFormatter& other) : impl_(std::make_unique<Impl>(*other.impl_)) {}
DateFormatter& DateFormatter::operator=(const DateFormatter& other) {
    if (this != &other) impl_ = std::make_unique<Impl>(*other.impl_);
    return *this;
}
DateFormatter::DateFormatter(DateFormatter&&) noexcept = default;
DateFormatter& DateFormatter::operator=(DateFormatter&&) noexcept = default;
DateFormatter::~DateFormatter() = default;

std::string DateFormatter::dateFormat() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->format;
}

void DateFormatter::setDateFormat(std::string format) {
    std::lock_guard lock(impl_->mutex);
    impl_->format = std::move(format);
    impl_->patternFromStyles = false;
    impl_->changed();
}

DateFormatterStyle DateFormatter::dateStyle() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->dateStyle;
}

void DateFormatter::setDateStyle(DateFormatterStyle style) {
    std::lock_guard lock(impl_->mutex);
    impl_->dateStyle = style;
    impl_->patternFromStyles = true;
    impl_->changed();
}

DateFormatterStyle DateFormatter::timeStyle() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->timeStyle;
}

void DateFormatter::setTimeStyle(DateFormatterStyle style) {
    std::lock_guard lock(impl_->mutex);
    impl_->timeStyle = style;
    impl_->patternFromStyles = true;
    impl_->changed();
}

Locale DateFormatter::locale() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->locale;
}

void DateFormatter::setLocale(const Locale& locale) {
    std::lock_guard lock(impl_->mutex);
    impl_->locale = locale;
    impl_->changed();
}

TimeZone DateFormatter::timeZone() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->zone;
}

void DateFormatter::setTimeZone(const TimeZone& zone) {
    std::lock_guard lock(impl_->mutex);
    impl_->zone = zone;
    impl_->changed();
}

std::string DateFormatter::stringFromDate(Date date) const {
    if (!std::isfinite(date.timeIntervalSince1970())) return "";
    std::lock_guard lock(impl_->mutex);
    icu::SimpleDateFormat* formatter = impl_->icuFormatter();
    if (!formatter) return "";
    icu::UnicodeString text;
    formatter->format(detail::icuDate(date), text);
    return detail::utf8Text(text);
}

std::optional<Date> DateFormatter::dateFromString(std::string_view text) const {
    std::lock_guard lock(impl_->mutex);
    icu::SimpleDateFormat* formatter = impl_->icuFormatter();
    if (!formatter || text.empty()) return std::nullopt;
    icu::UnicodeString unicode = detail::unicodeText(text);
    icu::ParsePosition position(0);
    UDate parsed = formatter->parse(unicode, position);
    if (position.getErrorIndex() >= 0 || position.getIndex() != unicode.length()) return std::nullopt;
    return detail::fromICUDate(parsed);
}

}  // namespace ql::ns
