#pragma once
// Text rules the account screens share: the mobile-number rule and two ways of trimming blanks.

#include <string>
#include <string_view>

namespace ql {

// "1", then ten more ASCII digits: every number the service hands out has this form. Digits of other
// scripts (full-width, Arabic-Indic) are refused, since the service would not know the number.
bool isMobileNumber(std::string_view text);

// Without white space and line breaks at both ends.
std::string trim(std::string_view text);

// Without the plain spaces (U+0020 only) at both ends, counted by whole characters: a space that carries
// a combining mark stays, as do tabs and line breaks.
std::string replaceHomeAndEndWhiteCharter(std::string_view text);

}  // namespace ql
