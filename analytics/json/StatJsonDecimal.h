#pragma once
// StatJsonDecimal: a JSON integer too large for 64 bits, kept as the digits of its literal so that it is
// written back exactly as it was read instead of as a rounded double in exponent form.

#include <string>
#include <string_view>

#include "platform/foundation/Object.h"

namespace ql {

class StatJsonDecimal final : public ns::Object {
    QL_OBJECT(StatJsonDecimal, ns::Object)
public:
    // `digits`: an optional '-' and decimal digits, as the parser checked them.
    explicit StatJsonDecimal(std::string digits) : digits_(std::move(digits)) {}

    const std::string& digits() const { return digits_; }
    // The nearest double, for callers that compute with it.
    double doubleValue() const;

    std::string description() const override { return digits_; }
    bool isEqual(const ns::Object& other) const override;

private:
    std::string digits_;
};

}  // namespace ql
