#pragma once
// The reader behind JSONSerialization: UTF-8 JSON text parsed by simdjson and laid out as a tree of Values in
// one ValueArena. Not part of the public interface.

#include <string_view>

#include "platform/foundation/Value.h"

namespace ql::ns::detail {

// The value of a UTF-8 JSON text, read with JSONReadingOptions; nil when the text is refused (why is for
// the caller to find out).
Value readJSON(std::string_view utf8, unsigned options);

}  // namespace ql::ns::detail
