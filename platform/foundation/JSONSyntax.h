#pragma once
// The JSON grammar as the platform's reader enforces it, used to explain a rejected text: the fast reader
// only learns that a text is bad, so this slower pass finds the first fault and words it as the platform
// does ("Garbage at end.", "Badly formed array around character 12."). Positions count bytes of the
// UTF-8 text.

#include <optional>
#include <string>
#include <string_view>

namespace ql::ns {

// Arrays and dictionaries nest at most this deep; deeper text is refused rather than risking the stack.
inline constexpr int JSONMaxNestingDepth = 512;

// The description of the first fault of a UTF-8 JSON text, or nothing when the text is well-formed.
// Without `fragmentsAllowed` the top level must be an array or a dictionary.
std::optional<std::string> firstJSONSyntaxError(std::string_view text, bool fragmentsAllowed);

}  // namespace ql::ns
