#pragma once
// Reading a strings table: the platform's old-style text of `"key" = "value";` entries with C and C++
// comments, escapes (\n, \", \U2014 …) and bare words for simple keys, in UTF-8 or in UTF-16 with a
// byte-order mark.

#include <optional>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace ql::ns {

// Texts by key; nothing (and an error naming the line) when the text is malformed.
std::optional<Dictionary> parseStringsTable(const Data& data, Error* error = nullptr);

}  // namespace ql::ns
