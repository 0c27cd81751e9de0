#pragma once
// The networking component's user-visible texts: looked up by their English text in the main bundle's
// strings table "Networking", falling back to the key, then filled in like the platform's formats.

#include <initializer_list>
#include <string>
#include <string_view>

namespace ql {

inline constexpr std::string_view NetStringsTable = "Networking";

// The key's text in the "Networking" table; the key itself when the table has no entry.
std::string NetLocalizedString(std::string_view key);

// Fills each "%@", "%ld" or "%lu" of the format, in order, with the next argument ("%%" is a percent sign).
// A translation may only reorder words around the placeholders, not the arguments themselves.
std::string NetFormat(std::string_view format, std::initializer_list<std::string_view> arguments);

}  // namespace ql
