#pragma once
// Internal to model mapping: the one number parser of the conversions. It reads the same texts on every
// device, whatever the locale: the decimal separator is always ".", and no grouping is accepted.

#include <string_view>

#include "platform/foundation/Value.h"

namespace ql::detail {

// A text that is wholly a number (an optional sign, digits with an optional fraction, an optional
// exponent) as a number; nil for any other text. Integers stay exact 64-bit integers (unsigned above the
// signed range), anything else is a double.
ns::Value numberFromText(std::string_view text);

}  // namespace ql::detail
