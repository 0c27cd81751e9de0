#pragma once
// ns::DateFormatter: dates to text and back by a pattern of the platform's date pattern letters
// ("yyyy-MM-dd HH:mm:ss", "EEE, dd MMM yyyy"), or by the locale's date and time styles, in a locale and a
// time zone. Parsing is strict: the whole text must match the pattern. Safe to use from several threads.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Date.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/TimeZone.h"

namespace ql::ns {

// With the platform's values.
enum class DateFormatterStyle { None = 0, Short = 1, Medium = 2, Long = 3, Full = 4 };

class DateFormatter {
public:
    // The current locale and the default time zone; no pattern and both styles None.
    DateFormatter();
    DateFormatter(const DateFormatter& other);
    DateFormatter& operator=(const DateFormatter& other);
    DateFormatter(DateFormatter&&) noexcept;
    DateFormatter& operator=(DateFormatter&&) noexcept;
    ~DateFormatter();

    // Setting a pattern takes over from the styles; setting a style replaces the pattern with the locale's
    // pattern for both styles ("" when both are None).
    std::string dateFormat() const;
    void setDateFormat(std::string format);
    DateFormatterStyle dateStyle() const;
    void setDateStyle(DateFormatterStyle style);
    DateFormatterStyle timeStyle() const;
    void setTimeStyle(DateFormatterStyle style);

    Locale locale() const;
    void setLocale(const Locale& locale);
    TimeZone timeZone() const;
    void setTimeZone(const TimeZone& zone);

    // "" when there is no pattern.
    std::string stringFromDate(Date date) const;
    // Nothing unless the whole text matches the pattern. Fields the pattern lacks take their values from
    // 1970-01-01 00:00:00 in the formatter's time zone.
    std::optional<Date> dateFromString(std::string_view text) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ql::ns
