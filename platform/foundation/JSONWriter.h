#pragma once
// The writer behind JSONSerialization: ns::Value trees as compact or pretty-printed JSON text, escaped as
// the platform escapes. Not part of the public interface.

#include <optional>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/Value.h"

namespace ql::ns::detail {

struct WrittenJSON {
    std::optional<Data> text;  // nothing when the value has no JSON form
    std::string failure;       // why not, e.g. "Invalid type in JSON write (NSDate)"
};

// The JSON text of a value of any kind; whether a text, number or null may stand at the top is the
// caller's decision.
WrittenJSON writeJSON(const Value& value, bool pretty);

// Whether writeJSON would write the value.
bool isWritableJSON(const Value& value);

}  // namespace ql::ns::detail
