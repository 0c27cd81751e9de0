#pragma once
// The CSS every rich text import starts from: how HTML's elements look before a document styles them.

#include <string_view>

namespace ql {

extern const std::string_view RTDefaultStylesheetText;

}  // namespace ql
