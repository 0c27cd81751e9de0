#pragma once
// Dates in HTTP header fields (Date, Expires, Last-Modified, cookie expiry). Parsing follows the lenient
// algorithm of RFC 6265 (section 5.1.1), which reads every date format servers send.

#include <optional>
#include <string_view>

namespace ql::ns {

// Seconds since 1970 (UTC); nothing when the text holds no valid date.
std::optional<double> parseHTTPDate(std::string_view text);

}  // namespace ql::ns
