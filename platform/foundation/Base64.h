#pragma once
// Base64 (RFC 4648 alphabet, "=" padding) with the platform's options for data: optional line breaks
// when encoding, and strict decoding unless unknown characters are to be ignored.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"

namespace ql::ns {

enum Base64EncodingOptions : unsigned {
    Base64Encoding64CharacterLineLength = 1u << 0,
    Base64Encoding76CharacterLineLength = 1u << 1,
    Base64EncodingEndLineWithCarriageReturn = 1u << 4,
    Base64EncodingEndLineWithLineFeed = 1u << 5,
};

enum Base64DecodingOptions : unsigned {
    Base64DecodingIgnoreUnknownCharacters = 1u << 0,
};

// Without a line-length option the text is one line. With one, lines are 64 (or 76) characters, joined by
// CR LF unless only one of the two end-of-line options is given; the last line has no line end.
std::string base64EncodedString(std::span<const std::uint8_t> bytes, unsigned options = 0);
inline std::string base64EncodedString(const Data& data, unsigned options = 0) { return base64EncodedString(data.span(), options); }

// Nothing when the text is not Base64: a character outside the alphabet (line breaks included, unless
// unknown characters are ignored), a length that is not a multiple of four, or misplaced padding.
std::optional<Data> dataWithBase64EncodedString(std::string_view text, unsigned options = 0);

}  // namespace ql::ns
