#pragma once
// One colour component written as hexadecimal digits, as the artwork's colour texts give them: the one
// reading of such digits that every colour-from-text helper builds on.

#include <optional>
#include <string_view>

namespace ql {

// One or two hex digits, either case, as 0…1; a single digit stands for itself twice ("F" is "FF"). None for
// any other length or when a character is no hex digit.
std::optional<double> hexColorComponent(std::string_view digits);

}  // namespace ql
