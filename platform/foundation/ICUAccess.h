#pragma once
// The ICU objects behind the foundation's value types, for the foundation's own sources. Not part of the
// public interface.

#include <unicode/timezone.h>

#include "platform/foundation/TimeZone.h"

namespace ql::ns::detail {

struct ICUAccess {
    static const icu::TimeZone& timeZone(const TimeZone& zone);
};

// ICU's dates are milliseconds since 1970.
inline UDate icuDate(Date date) { return date.timeIntervalSince1970() * 1000.0; }
inline Date fromICUDate(UDate date) { return Date::fromTimeIntervalSince1970(date / 1000.0); }

}  // namespace ql::ns::detail
