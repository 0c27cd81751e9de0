#pragma once
// The value of one event property, as text, as a 64-bit integer, or both.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "analytics/WireRecord.h"

namespace ql {

class WirePropertyValue final : public WireRecord<WirePropertyValue> {
    QL_OBJECT(WirePropertyValue, ns::Object)
    QL_WIRE_FIELD(1, WireString, string_value, String_value, Optional)
    QL_WIRE_FIELD(2, WireI64, long_value, Long_value, Optional)
public:
    static constexpr std::string_view structName = "PropertyValue";

    WirePropertyValue() = default;
    // Sets every field, also those given as none.
    WirePropertyValue(std::optional<std::string> string_value, std::int64_t long_value);
};

}  // namespace ql
