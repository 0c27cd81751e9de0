#pragma once
// StatError: the record the recording core keeps for one reported error until it is packed.

#include <optional>
#include <string>

#include "analytics/StatBaseEvent.h"

namespace ql {

class StatError : public StatBaseEvent {
    QL_OBJECT(StatError, StatBaseEvent)
    QL_PROPERTY(std::optional<std::string>, context)  // the error text
public:
    StatError();

    // The base's entries, then "message_type" = "error", "context" and "session_id".
    ns::Dictionary attributes() const override;
    // "STATLOG: error: session_id=…, context=…" while logging is on.
    void outputStatLog() const;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
};

}  // namespace ql
