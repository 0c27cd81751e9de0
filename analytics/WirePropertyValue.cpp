#include "analytics/WirePropertyValue.h"

#include <utility>

namespace ql {

WirePropertyValue::WirePropertyValue(std::optional<std::string> string_value, std::int64_t long_value) {
    setString_value(std::move(string_value));
    setLong_value(long_value);
}

}  // namespace ql
