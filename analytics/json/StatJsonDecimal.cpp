#include "analytics/json/StatJsonDecimal.h"

#include <charconv>

namespace ql {

double StatJsonDecimal::doubleValue() const {
    double value = 0;
    std::from_chars(digits_.data(), digits_.data() + digits_.size(), value);
    return value;
}

bool StatJsonDecimal::isEqual(const ns::Object& other) const {
    const auto* decimal = dynamic_cast<const StatJsonDecimal*>(&other);
    return decimal && decimal->digits_ == digits_;
}

}  // namespace ql
