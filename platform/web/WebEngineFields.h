#pragma once
// Reading the engine's replies and events: every answer is a dictionary whose fields may be missing or of
// another kind, which read as empty rather than failing.

#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

namespace ql::ui {

// The value's fields; none when it is no dictionary.
const ns::Dictionary& fieldsOf(const ns::Value& value);

// The field as text or number; empty or 0 when it is missing.
std::string textField(const ns::Dictionary& fields, std::string_view key);
double numberField(const ns::Dictionary& fields, std::string_view key);

}  // namespace ql::ui
