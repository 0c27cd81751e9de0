#pragma once
// Text operations of model mapping: URLs from loosely escaped texts (used by the conversions) and the
// camel-case and underscore helpers.

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/URL.h"

namespace ql {

// The text with every character escaped except ASCII letters and digits and !$&'()*+,-./:;=?@_~%#[],
// as a URL; nothing when no URL can be made of it.
std::optional<ns::URL> mm_url(std::string_view text);
// "userName" gives "user_name": each ASCII capital becomes "_" and its lower case.
std::string mm_underlineFromCamel(std::string_view text);
// "user_name" gives "userName": the pieces between "_" joined, each after the first with its first
// character upper-cased; empty pieces add nothing.
std::string mm_camelFromUnderline(std::string_view text);
// The first character lower- or upper-cased when it is an ASCII letter.
std::string mm_firstCharLower(std::string_view text);
std::string mm_firstCharUpper(std::string_view text);
// Whether the text is one decimal 32-bit integer (an optional sign and digits), give or take white space
// around it.
bool mm_isPureInt(std::string_view text);

}  // namespace ql
