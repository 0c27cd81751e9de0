#pragma once
// StatEvent: the record the recording core keeps for one custom event, with its label, accumulated count,
// duration and attribute values, until it is packed into a log entry.

#include <cstdint>
#include <optional>
#include <string>

#include "analytics/StatBaseEvent.h"

namespace ql {

class StatEvent : public StatBaseEvent {
    QL_OBJECT(StatEvent, StatBaseEvent)
    QL_PROPERTY(std::optional<std::string>, event_id)
    QL_PROPERTY(std::optional<std::string>, label)
    QL_PROPERTY(std::int64_t, acc)  // accumulated count, sent when at least 1
    QL_PROPERTY(std::int64_t, du)   // duration in milliseconds, sent when at least 1
    QL_PROPERTY(ns::Dictionary, values)
public:
    // Labels longer than this many UTF-8 bytes are sent cut.
    static constexpr std::size_t MaxLabelBytes = 256;

    StatEvent();

    // The milliseconds since the record was made.
    void updateDu();

    // The label as it is sent: nothing when it is missing or empty; cut to MaxLabelBytes on a character
    // boundary, with a warning logged, when longer.
    std::optional<std::string> sentLabel() const;
    // The base's entries, then "label", "values", "ts", "tag", "acc", "du" and "session_id" where they apply.
    ns::Dictionary attributes() const override;
    // "STATLOG: event: session_id=…, event=…[, label=…][, du=…]" while logging is on.
    void outputStatLog() const;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
};

}  // namespace ql
