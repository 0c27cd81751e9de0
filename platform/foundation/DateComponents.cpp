#include "platform/foundation/DateComponents.h"

namespace ql::ns {

namespace {

template <class Components>
auto* field(Components& components, CalendarUnit unit) {
    switch (unit) {
        case CalendarUnitEra: return &components.era;
        case CalendarUnitYear: return &components.year;
        case CalendarUnitMonth: return &components.month;
        case CalendarUnitDay: return &components.day;
        case CalendarUnitHour: return &components.hour;
        case CalendarUnitMinute: return &components.minute;
        case CalendarUnitSecond: return &components.second;
        case CalendarUnitNanosecond: return &components.nanosecond;
        case CalendarUnitWeekday: return &components.weekday;
        case CalendarUnitWeekdayOrdinal: return &components.weekdayOrdinal;
        case CalendarUnitQuarter: return &components.quarter;
        case CalendarUnitWeekOfMonth: return &components.weekOfMonth;
        case CalendarUnitWeekOfYear: return &components.weekOfYear;
        case CalendarUnitYearForWeekOfYear: return &components.yearForWeekOfYear;
        default: return static_cast<decltype(&components.era)>(nullptr);
    }
}

}  // namespace

std::int64_t DateComponents::valueForComponent(CalendarUnit unit) const {
    const std::int64_t* value = field(*this, unit);
    return value ? *value : DateComponentUndefined;
}

void DateComponents::setValue(std::int64_t value, CalendarUnit unit) {
    if (std::int64_t* target = field(*this, unit)) *target = value;
}

}  // namespace ql::ns
