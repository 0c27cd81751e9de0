#pragma once
// Percent-encoding of a text's UTF-8 bytes, sparing only the unreserved characters (letters, digits and
// "-._~"), so that the result fits a query value or a path segment.

#include <string>
#include <string_view>

namespace ql {

std::string stringByURLEncoding(std::string_view text);

}  // namespace ql
