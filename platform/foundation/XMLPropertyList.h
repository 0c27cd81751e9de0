#pragma once
// The XML property-list format: written in the platform's layout (tabs, <true/>, base64 data wrapped by
// indentation), read through libxml2. Used through PropertyListSerialization; not part of the public
// interface.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/foundation/Date.h"
#include "platform/foundation/Value.h"

namespace ql::ns::detail {

// Nil with `failure` set when the bytes are no XML property list. Entity references other than XML's
// own and character references are refused, nothing is fetched from outside, and nesting is bounded.
Value readXMLPropertyList(std::span<const std::uint8_t> bytes, unsigned options, std::string& failure);

// The value must be valid for the XML format (PropertyListSerialization checks first).
std::string writeXMLPropertyList(const Value& plist);

// What XML can carry: well-formed UTF-8 without the control characters XML 1.0 forbids, and dates in the
// years 0 to 9999 (written to the whole second, as the platform does).
bool isXMLText(std::string_view text);
bool isXMLDate(Date date);

}  // namespace ql::ns::detail
