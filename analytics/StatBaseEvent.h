#pragma once
// StatBaseEvent: the common base of the records the recording core keeps for events and errors: when the
// record was made (as a time stamp and as local date and time texts), its type, its session and whether
// it is being sent.

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "platform/foundation/Coding.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql {

class StatBaseEvent : public ns::Object, public ns::Coding {
    QL_OBJECT(StatBaseEvent, ns::Object)
    QL_PROPERTY(bool, sendingFlag)
    QL_PROPERTY(double, ts)            // seconds since 1970
    QL_PROPERTY(std::string, type)
    QL_PROPERTY(std::string, date)     // "yyyy-MM-dd"
    QL_PROPERTY(std::string, time)     // "HH:mm:ss"
    QL_PROPERTY(std::optional<std::string>, session_id)
public:
    // Stamped with the clock's now.
    StatBaseEvent();

    // "date", "time" and, when there is one, "session_id".
    virtual ns::Dictionary attributes() const;

    // A time value truncated toward zero and held within the integer's range, NaN as 0: time stamps come
    // back from archives and from whoever fills a record, so they may be anything.
    template <class Integer>
    static Integer truncatedWithin(double value) {
        constexpr Integer least = std::numeric_limits<Integer>::min();
        constexpr Integer most = std::numeric_limits<Integer>::max();
        if (std::isnan(value)) return 0;
        if (value <= static_cast<double>(least)) return least;
        if (value >= static_cast<double>(most)) return most;
        return static_cast<Integer>(value);
    }
    // The time stamp in whole milliseconds, as the service takes it.
    std::int64_t tsMilliseconds() const { return truncatedWithin<std::int64_t>(ts * 1000); }

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
};

}  // namespace ql
